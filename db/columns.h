#pragma once
// The result columns of a prepared statement: the client library's descriptor area with a data
// buffer and a null indicator for every column, refilled by every fetch.

#include "db/fields.h"

#include <QString>
#include <QVariant>
#include <algorithm>
#include <ibase.h>
#include <memory>
#include <vector>

class ResultColumns {
public:
    ResultColumns();

    // The descriptor area to hand to prepare, describe and fetch.
    XSQLDA* sqlda() { return m_sqlda.get(); }

    // After prepare: true when the statement has more columns than the area has room for;
    // grow() makes room and the statement must be described again.
    bool needsRoom() const { return m_sqlda->sqld > m_sqlda->sqln; }
    void grow();

    // After prepare (and describe): gives every column a buffer of its own.
    void bindBuffers();

    // The columns described (at most as many as the area has room for).
    int count() const { return std::min(m_sqlda->sqld, m_sqlda->sqln); }
    QString name(int column) const;

    // The column's type by the names the field types go by ("Integer", "String", "Date", ...).
    QString typeName(int column) const;

    // True when the column's values can be held by a field of the type: integer fields take
    // 16- and 32-bit integers without decimals, date and time fields take timestamps and dates,
    // text fields take fixed and variable-length text.
    bool fits(int column, FieldType type) const;

    // The column's value in the row last fetched: null, an int, a QDateTime (a date and time as
    // stored, held as UTC so that no local-time rule moves it) or a QString (Windows-1252).
    QVariant value(int column) const;

private:
    struct Deleter {
        void operator()(XSQLDA* p) const { ::operator delete(p); }
    };
    void allocate(int columns);

    std::unique_ptr<XSQLDA, Deleter> m_sqlda;
    std::vector<std::vector<char>> m_data;
    std::vector<short> m_nulls;
};
