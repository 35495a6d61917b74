#pragma once
// The name of a call in its private form, for clinics that must not show a patient's full name
// in the waiting room: the first word in full, every later word by its initial and a full stop,
// the particles left out. "MARIA APARECIDA DOS SANTOS OLIVEIRA" becomes "MARIA A. S. O.".

#include <QString>
#include <QStringView>

// How a call shows and speaks the name a station sends ([definicao] privacidade).
enum class NameForm {
    Full,    // as the station sent it
    Private, // privateName()
};

// Words are the runs between blanks (spaces, tabs, any Unicode blank); the result has one space
// between its words and none around them.
// - The first word stays as it is: "ANA-CLARA", "D'ÁVILA", "JOÃO".
// - A later word that is one of the particles da, das, de, do, dos, e (in any letter case) is
//   left out.
// - Any other later word becomes its first letter, with its accent, in capitals, and a full
//   stop: "ÉRICA" -> "É.", "sant'ana" -> "S.", "D'ÁVILA" -> "D.". A hyphenated word gives the
//   initial of each part: "SOUZA-LIMA" -> "S.-L.". Characters before the first letter (a
//   quote, a bracket) are passed over; a word without a letter ("2", "-") is left out.
// A name of one word, or of none, comes back as it is (without the blanks around it). Linear
// in the name's length; any text is taken.
QString privateName(QStringView name);

// The name as the form says: unchanged for Full, privateName() for Private.
QString shownName(QStringView name, NameForm form);
