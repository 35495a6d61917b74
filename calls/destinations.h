#pragma once
// The fixed table of destination codes. An "MD*" call whose fifth character is a digit names its
// destination by the two characters at positions 4 and 5; the table turns that code into the
// title of the destination line (Panel8), the end of the spoken announcement and, for a few
// codes, the name on the ticket line (Panel3). A code the table lacks is a numbered consulting
// room. The table is part of the program, not of its configuration.

#include <QString>
#include <QStringView>
#include <span>

struct Destination {
    // What the ticket line shows for this destination.
    enum class Panel3Rule {
        Empty,      // nothing: the name is spoken only
        Name,       // the name
        PaddedName, // twenty blanks, then the name
    };

    QStringView code;   // two characters, compared as text ("07" is not "7")
    QStringView title;  // the destination line's text
    QStringView phrase; // spoken after the name; begins with a blank
    Panel3Rule rule;
};

// Blanks in front of the name under the PaddedName rule.
inline constexpr qsizetype kPanel3Padding = 20;

// The 30 rows, in the order they are searched.
std::span<const Destination> destinationTable();

// The first row whose code equals the given text exactly; null when there is none.
const Destination* findDestination(QStringView code);

// The texts one destination call produces.
struct DestinationCall {
    QString panel3;       // the ticket line (empty under the Empty rule)
    QString panel8;       // the destination line
    QString announcement; // the name followed by the destination's phrase
};

// The destination call for a code and a name (the name may be empty). A code outside the table
// is the consulting room of that code, kept exactly as received: Panel3 shows the name, Panel8
// "Consultório " and the code, and the announcement is the name, " favor comparecer ao " and
// that Panel8 text. Linear in the name's length; never fails.
DestinationCall callDestination(QStringView code, QStringView name);
