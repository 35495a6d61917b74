#include "db/fields.h"

#include <QLocale>

const std::vector<Field>& callsListFields() {
    // clang-format off
    static const std::vector<Field> fields = {
        {"GUICHELISTAINDICE", "INDICE", FieldType::Integer, 0, true, "Indice", {}},
        {"GUICHELISTACODIGOPAC", "CODIGOPAC", FieldType::Integer, 0, true, "Pront.", {}},
        {"GUICHELISTADATA", "DATA", FieldType::DateTime, 0, true, "Data", "dd/mm/yyyy"},
        {"GUICHELISTAGUICHE", "GUICHE", FieldType::Integer, 0, true, "Guiche", {}},
        {"GUICHELISTASENHA", "SENHA", FieldType::Integer, 0, true, "Senha", {}},
        {"GUICHELISTASTATUS", "STATUS", FieldType::String, 1, false, "Status", {}},
        {"GUICHELISTANOMEGUICHE", "NOMEGUICHE", FieldType::String, 40, false, "Guiche", {}},
        {"GUICHELISTASENHA1", "SENHA1", FieldType::String, 32, false, "Senha", {}},
        {"GUICHELISTANR_GUICHE_CHAMOU", "NR_GUICHE_CHAMOU", FieldType::String, 50, false,
         "NR_GUICHE_CHAMOU", {}},
    };
    // clang-format on
    return fields;
}

QString fieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::Integer:
        return QStringLiteral("Integer");
    case FieldType::DateTime:
        return QStringLiteral("DateTime");
    case FieldType::String:
        return QStringLiteral("String");
    }
    return {};
}

QString displayText(const Field& field, const QVariant& value) {
    if (value.isNull()) return {};
    switch (field.type) {
    case FieldType::Integer:
        return QString::number(value.toInt());
    case FieldType::DateTime:
        return field.displayFormat.isEmpty()
                   ? QLocale().toString(value.toDateTime(), QLocale::ShortFormat)
                   : formatDateTime(field.displayFormat, value.toDateTime());
    case FieldType::String:
        return value.toString();
    }
    return {};
}

QString formatDateTime(const QString& format, const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    QString out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i).toLower();
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run).toLower() == c)
            ++run;
        int number = -1;
        int digits = int(run);
        switch (c.unicode()) {
        case 'd':
            number = date.day();
            break;
        case 'm':
            number = date.month();
            break;
        case 'y':
            number = run <= 2 ? date.year() % 100 : date.year();
            digits = run <= 2 ? 2 : 4;
            break;
        case 'h':
            number = time.hour();
            break;
        case 'n':
            number = time.minute();
            break;
        case 's':
            number = time.second();
            break;
        default:
            break;
        }
        if (number < 0) {
            out += format.mid(i, run);
        } else {
            out += QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0'));
        }
        i += run;
    }
    return out;
}
