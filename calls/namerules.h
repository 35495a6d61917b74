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
// The English shapes: a "j" before "oh" and a consonant is the English j (Johnson); in a name of
// one syllable with English letters, an "a" between a consonant and a final "e" is "ei" and a
// "j" before it the English j (Kate, Shane, Jake), which names of Portuguese letters keep as
// they are (Jade, Vale); "tch" is English (Mitchel). The English "-el" or "-ell" after a
// consonant, in a name whose letters before it are English, stresses the syllable before it
// (Wendell, Maykel), not after "ch", "l" or "w" (Michel, Kalel, Maxwell); so does "-er" after a
// consonant in any name with borrowed letters (Christopher, Luther); the English "-y" endings of
// names of three syllables, "-erly", "-ory", "-ody", "-othy", "-emy", "-ary" after a
// consonant, stress the first (Kimberly, Gregory, Melody, Dorothy, Hilary). A name that starts
// with "st" or "sth" and a vowel is stressed on the syllable after the "st" (Stéfany, Stéfan,
// Stéfano), but for one ending in "-ia" (Stefânia) or one that a double consonant marks
// (Stefanny). Two syllables in "-on" but "-son" stress the first (Marlon, Brandon), and in
// "-son" after a diphthong in i that consonants close the i is written "y", the glide the
// engine says there (Gleidson, Deivson).
//
// The stress is written with an accent, acute or, before m, n and in "ei" and "ou",
// circumflex. A name that already has one keeps its stress. A name without any of these
// letters, groups and endings is not touched: Portuguese names stay as they are.

#include <QString>
#include <QStringView>
#include <optional>

// The name's Portuguese spelling in lower case, or nothing when the name borrows nothing.
std::optional<QString> respelledName(QStringView word);
