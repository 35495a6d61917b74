#pragma once
// How an announcement is given to the speech engine so that it reads it naturally.

#include <QString>

// espeak-ng spells short words in capitals letter by letter ("ANA" becomes A-N-A), and names
// arrive in capitals. Every word (a run of letters) of two or more letters that has no lower-case
// letter becomes a word with an initial capital ("ANA SOUTO" -> "Ana Souto"), except words
// without a vowel, which stay as abbreviations to be spelled ("RX"), and Roman numerals from
// II to XXXIX ("JOÃO PAULO II"). Single letters, digits, punctuation, blanks and line breaks
// (the carriage return of a reception-desk call) stay as they are; other control characters
// (NUL included, which would end the text early) become blanks.
QString naturalReading(const QString& text);
