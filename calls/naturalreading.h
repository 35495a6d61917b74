#pragma once
// How an announcement is given to the speech engine so that it reads it as people say it.
// Only the engine's text changes; what the panels show stays as the station sent it.

#include "calls/lexicon.h"

#include <QString>

// The engine's text for an announcement:
// - In a counter call's announcement ("Senha AE 15, Guichê 3") the letters of the ticket are
//   spelled by their names (spelledletters.h).
// - An initial, a capital letter and a full stop ("MARIA A. S. O.", a name in its private
//   form), is said by the letter's name as a ticket's letters are (an accent left unsaid), without
//   the full stop.
// - Every other word (a run of letters with their marks) is looked up whole, without regard to
//   case, in the clinic's lexicon (pronuncia.txt) and then in the built-in list of names
//   (namelist.h), and is replaced by how it is said there. Single letters, words in capitals
//   without a vowel, which are abbreviations to be spelled ("RX"), and Roman numerals from II
//   to XXXIX ("JOÃO PAULO II") stay as they are unless the clinic's lexicon names them.
// - A word in neither list is respelled by the spelling rules when it borrows letters or
//   endings from another language (namerules.h).
// - A word in capitals otherwise gets an initial capital only ("ANA SOUTO" -> "Ana Souto"):
//   espeak-ng spells short words in capitals letter by letter.
// - Digits, punctuation, blanks and line breaks (the carriage return of a reception-desk call)
//   stay as they are. Other control characters (NUL included, which would end the text early)
//   and square brackets, which would open the engine's phoneme notation, become blanks.
QString naturalReading(const QString& text, const Lexicon* clinic = nullptr);
