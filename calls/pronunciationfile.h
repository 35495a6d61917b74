#pragma once
// The clinic's own lexicon, pronuncia.txt beside the executable: how names are said in this
// clinic, winning over the built-in list. Read once at start-up.
//
// One entry a line, "SPELLING=how it is said": the spelling is one word, matched whole and
// without regard to case; how it is said is a respelling or the engine's inline phonemes
// (lexicon.h). Blanks around either side are dropped. Blank lines and lines whose first
// character other than a blank is "#" are ignored. The text is UTF-8 with or without a
// byte-order mark, UTF-16 after one, or Windows-1252 when it is not UTF-8. A later line of a
// spelling replaces an earlier one.

#include "calls/lexicon.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

inline constexpr char kPronunciationFileName[] = "pronuncia.txt";

struct PronunciationFile {
    Lexicon entries;
    // Every line that cannot be read, as "<name>, linha <n>: <why>: <line>", in Portuguese; or
    // the one reason the file cannot be read at all.
    QStringList problems;
};

// The entries of a file's bytes; name is the file's name in the problems.
PronunciationFile parsePronunciationFile(const QByteArray& bytes, const QString& name);

// The entries of the file at path. No file: no entries and no problem.
PronunciationFile readPronunciationFile(const QString& path);

// The clinic's lexicon the panel's voices use (empty until one is set).
const Lexicon& clinicLexicon();
void setClinicLexicon(Lexicon lexicon);

// Reads the file at path into the clinic's lexicon and writes each of its problems on a line
// of its own to out.
void loadClinicLexicon(const QString& path, std::ostream& out);
