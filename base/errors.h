#pragma once
// The program's failures. Each carries the exact text that the error report shows.

#include <QByteArray>
#include <QString>
#include <exception>

class EPainelError : public std::exception {
public:
    explicit EPainelError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const char* what() const noexcept override { return m_utf8.constData(); }
    const QString& text() const noexcept { return m_text; }

private:
    QString m_text;
    QByteArray m_utf8;
};

// A text that is not a whole number ("'%s' is not a valid integer value").
class EConvertError : public EPainelError {
    using EPainelError::EPainelError;
};

// A file that cannot be opened ("Cannot open file "%s". %s").
class EFOpenError : public EPainelError {
    using EPainelError::EPainelError;
};

// A media player operation that failed ("No MCI device open", the media system's reason).
class EMCIDeviceError : public EPainelError {
    using EPainelError::EPainelError;
};

// A database client failure: the client library's message lines, or the program's own text.
class EDatabaseError : public EPainelError {
public:
    explicit EDatabaseError(QString text, long code = 0) : EPainelError(std::move(text)), m_code(code) {}
    long code() const noexcept { return m_code; }

private:
    long m_code;
};

// The speech engine cannot be created or fails to speak.
class EVoiceError : public EPainelError {
    using EPainelError::EPainelError;
};

// The listener cannot be switched on (port in use, no permission...).
class ESocketError : public EPainelError {
    using EPainelError::EPainelError;
};

// A start-up step that cannot go on (the program's own wording).
class EStartupError : public EPainelError {
    using EPainelError::EPainelError;
};
