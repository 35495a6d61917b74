#include "db/columns.h"

#include "base/codepage.h"

#include <cstring>

namespace {

// Firebird counts days from 17 November 1858, Julian day 2400001, and time of day in units of
// 1/10000 of a second.
constexpr qint64 kFirstDay = 2400001;

QDateTime fromFirebird(ISC_DATE days, ISC_TIME time) {
    return QDateTime(QDate::fromJulianDay(kFirstDay + days),
                     QTime::fromMSecsSinceStartOfDay(int(time / 10)), Qt::UTC);
}

template <typename T> T read(const char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

ResultColumns::ResultColumns() {
    allocate(16);
}

void ResultColumns::allocate(int columns) {
    m_sqlda.reset(static_cast<XSQLDA*>(::operator new(XSQLDA_LENGTH(columns))));
    std::memset(m_sqlda.get(), 0, XSQLDA_LENGTH(columns));
    m_sqlda->version = SQLDA_VERSION1;
    m_sqlda->sqln = short(columns);
}

void ResultColumns::grow() {
    allocate(m_sqlda->sqld);
}

void ResultColumns::bindBuffers() {
    const int n = count();
    m_data.assign(n, {});
    m_nulls.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        XSQLVAR& var = m_sqlda->sqlvar[i];
        const int type = var.sqltype & ~1;
        const std::size_t size = var.sqllen + (type == SQL_VARYING ? sizeof(short) : 0);
        m_data[i].assign(std::max<std::size_t>(size, 1), 0);
        var.sqldata = m_data[i].data();
        var.sqlind = &m_nulls[i];
    }
}

QString ResultColumns::name(int column) const {
    const XSQLVAR& var = m_sqlda->sqlvar[column];
    return QString::fromLatin1(var.aliasname, var.aliasname_length);
}

QString ResultColumns::typeName(int column) const {
    const XSQLVAR& var = m_sqlda->sqlvar[column];
    switch (var.sqltype & ~1) {
    case SQL_TEXT:
    case SQL_VARYING:
        return QStringLiteral("String");
    case SQL_SHORT:
        return var.sqlscale ? QStringLiteral("BCD") : QStringLiteral("SmallInt");
    case SQL_LONG:
        return var.sqlscale ? QStringLiteral("BCD") : QStringLiteral("Integer");
    case SQL_INT64:
        return var.sqlscale ? QStringLiteral("BCD") : QStringLiteral("LargeInt");
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return QStringLiteral("Float");
    case SQL_TIMESTAMP:
        return QStringLiteral("DateTime");
    case SQL_TYPE_DATE:
        return QStringLiteral("Date");
    case SQL_TYPE_TIME:
        return QStringLiteral("Time");
    case SQL_BLOB:
        return var.sqlsubtype == 1 ? QStringLiteral("Memo") : QStringLiteral("Blob");
    case SQL_BOOLEAN:
        return QStringLiteral("Boolean");
    case SQL_ARRAY:
        return QStringLiteral("Array");
    default:
        return QStringLiteral("Unknown");
    }
}

bool ResultColumns::fits(int column, FieldType type) const {
    const XSQLVAR& var = m_sqlda->sqlvar[column];
    const int sqltype = var.sqltype & ~1;
    switch (type) {
    case FieldType::Integer:
        return (sqltype == SQL_SHORT || sqltype == SQL_LONG) && !var.sqlscale;
    case FieldType::DateTime:
        return sqltype == SQL_TIMESTAMP || sqltype == SQL_TYPE_DATE;
    case FieldType::String:
        return sqltype == SQL_TEXT || sqltype == SQL_VARYING;
    }
    return false;
}

QVariant ResultColumns::value(int column) const {
    const XSQLVAR& var = m_sqlda->sqlvar[column];
    if ((var.sqltype & 1) && *var.sqlind < 0) return {};
    const char* data = var.sqldata;
    switch (var.sqltype & ~1) {
    case SQL_SHORT:
        return int(read<short>(data));
    case SQL_LONG:
        return int(read<ISC_LONG>(data));
    case SQL_TEXT:
        return cp1252::decode(QByteArrayView(data, var.sqllen));
    case SQL_VARYING: {
        const auto length = std::min<int>(read<unsigned short>(data), var.sqllen);
        return cp1252::decode(QByteArrayView(data + sizeof(short), length));
    }
    case SQL_TIMESTAMP: {
        const auto ts = read<ISC_TIMESTAMP>(data);
        return fromFirebird(ts.timestamp_date, ts.timestamp_time);
    }
    case SQL_TYPE_DATE:
        return fromFirebird(read<ISC_DATE>(data), 0);
    default:
        return {};
    }
}
