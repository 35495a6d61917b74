#pragma once
// The encoder that matches Descriptografar: turns a plain user name, password, database path or
// key into the text that config.ini holds, so that the panel decodes it back. It belongs to the
// administrator's tool only; the panel itself contains no encoder.

#include <QList>
#include <QString>
#include <optional>

// How config.ini is stored: in the 8-bit code page (Windows-1252) or with a byte-order mark
// (UTF-16 or UTF-8), which holds every character.
enum class IniStorage { Ansi, Unicode };

struct EncodeFailure {
    enum class Reason {
        EmptyKey,    // an empty key leaves every text as it is: nothing to encode with
        TooLong,     // longer than the 2047 characters config.ini reading takes
        OutOfRange,  // no character decodes to it at its position with this key
        StopValue,   // the only characters that would decode to it equal the stop value
        NotStorable, // the characters that would decode to it cannot be kept in config.ini
        Quotes,      // the text would begin and end with the same quote, which reading drops
    };
    Reason reason;
    qsizetype position = 0; // 1-based position in the plain text; 0 when not about one character
    char16_t character = 0; // the plain character at that position
    QString detail;         // what exactly stands in the way, for the message

    // The refusal as the tool prints it (Portuguese).
    QString message() const;
};

struct EncodeResult {
    QString text;                         // the encoded text, when there is no failure
    std::optional<EncodeFailure> failure; // why the text cannot be encoded
    QList<qsizetype> invisible;           // 1-based positions of blank or invisible characters

    bool ok() const { return !failure.has_value(); }
};

// Encodes plain with key so that Descriptografar(result, key) == plain and the result survives
// being written as a config.ini value in the given storage and read back: no line breaks, no
// NUL, no blank at either end, not enclosed in a pair of quotes, and (for ANSI) only characters
// whose Windows-1252 byte decodes to a character with the needed low 8 bits. Visible characters
// are preferred; each character is the plain code shifted by the key's offset for its position.
EncodeResult encodeCredential(const QString& plain, const QString& key, IniStorage storage);
