#include "base/textfile.h"

#include "base/codepage.h"
#include "base/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder dec(QStringDecoder::Utf16LE);
        return dec.decode(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder dec(QStringDecoder::Utf16BE);
        return dec.decode(QByteArrayView(bytes).sliced(2));
    }
    return cp1252::decode(bytes);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

QStringList loadTextLines(const QString& path) {
    QFile file(path);
    const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString reason = QFileInfo(path).isDir() ? QStringLiteral("Is a directory")
                                                       : file.errorString();
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(full, reason));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(full, file.errorString()));
    return splitLines(decodeText(bytes));
}
