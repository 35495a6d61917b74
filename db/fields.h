#pragma once
// The field objects of the calls list: what each result column of the query must hold, how it
// is labelled and how its value is shown.

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <vector>

enum class FieldType { Integer, DateTime, String };

struct Field {
    QString objectName; // "GUICHELISTAINDICE"
    QString name;       // "INDICE", the result column it is bound to
    FieldType type;
    int size;              // characters, text fields only
    bool required;         // the column holds no nulls
    QString displayLabel;  // the grid's column title
    QString displayFormat; // date and time fields: "dd/mm/yyyy"; empty: the locale's format
};

// The fields of the calls list `GUICHELISTA`, in the order of the query's columns.
const std::vector<Field>& callsListFields();

// The type's name in error messages: "Integer", "DateTime", "String".
QString fieldTypeName(FieldType type);

// The text shown for a value of the field: empty for null, decimal digits for an integer, the
// display format for a date and time, text as it stands.
QString displayText(const Field& field, const QVariant& value);

// Writes a date and time by a display format made of d, m, y (day, month, year), h, n, s (hour,
// minute, second) and literal characters: "dd/mm/yyyy" gives "07/03/2024". Runs of a letter
// give the value with at least that many digits; "yy" gives the year's last two digits.
QString formatDateTime(const QString& format, const QDateTime& value);
