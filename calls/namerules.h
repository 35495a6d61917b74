#pragma once
// Spelling rules for the letters and groups that Brazilian names borrow from other languages:
// a name is given to the speech engine in the Portuguese spelling of how Brazilians say it.
//
// Groups: "sh" and "sch" are said "ch" (Shirley, Natasha); "ph" is "f" (Raphael, Stephany);
// "th" is "t" (Thiago, Matheus, Arthur); "chr" and "chl" are "cr" and "cl" (Christian); "ck"
// and "k" are "c" or, before e and i, "qu" (Erick, Kevin, Karina); "kh" and "gh" lose their h
// (Khalil, Ghabriel); "jh" is the English j, "dj" (Jhonatan, Jhennifer); any other h after a
// consonant or at the end is silent (Rhuan, Sarah); "y" is "i" (Dyego, Maycon, Thaynara) but
// for a "y" before a vowel at the start, which the engine says as the glide it is (Yuri); "ñ" is
// "nh"; "w" stays, which the engine says as in "Walter".
//
// Double consonants (other than rr and ss, which are Portuguese) are said single, and the
// vowel before the last of them carries the stress (Kelly, Allan, Jennifer, Giovanna,
// Isabelle). Endings: a consonant and "y" or "ie" at the end are an unstressed "i" after the
// stressed syllable (Emilly, Stephany, Natalie); "ey" is "ei" after it (Wesley, Shirley,
// Sidney); "-ichael" is "-áicou" (Michael); "-son" and "-on", which no Portuguese word ends
// in, stress the first of two syllables (Maicon, Cleiton) and the third syllable from the end
// of longer names (Jefferson, Everton), but for the syllables the engine stresses right
// already: one that an "l" closes (Adilson, Nilton), an "i" or "u" after a vowel that stands
// alone (Airton, Railson), or the first of two that consonants close (Edson, Robson); a
// borrowed name that ends in a consonant Portuguese stresses at the end
// (-r, -l but "-el", -n but "-an", -m, -z, -x, -i, -u) is stressed on the syllable before the
// last (Walter, Kevin, Kleber, Yuri); a borrowed name that ends in a stop (-ck, -d, -t, -b, -p,
// -g) gets the final "e" Brazilians say and keeps its stress (Erick, Patrick, Frank).
//
// The stress is written with an accent, acute or, before m, n and in "ei" and "ou",
// circumflex. A name that already has one keeps its stress. A name without any of these
// letters, groups and endings is not touched: Portuguese names stay as they are.

#include <QString>
#include <QStringView>
#include <optional>

// The name's Portuguese spelling in lower case, or nothing when the name borrows nothing.
std::optional<QString> respelledName(QStringView word);
