#include "calls/pronunciationfile.h"

#include "base/codepage.h"
#include "base/textfile.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool startsWithByteOrderMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

// UTF-8 when the bytes are UTF-8, else the rules of the configuration files.
QString decodeLexicon(const QByteArray& bytes) {
    return startsWithByteOrderMark(bytes) ? decodeText(bytes) : cp1252::decodeUtf8OrCodePage(bytes);
}

QString problem(const QString& name, qsizetype number, const QString& why, const QString& line) {
    return QStringLiteral("%1, linha %2: %3: %4").arg(name).arg(number).arg(why, line.trimmed());
}

Lexicon& theClinicLexicon() {
    static Lexicon lexicon;
    return lexicon;
}

} // namespace

PronunciationFile parsePronunciationFile(const QByteArray& bytes, const QString& name) {
    PronunciationFile file;
    const QStringList lines = splitLines(decodeLexicon(bytes));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#')) continue;
        const qsizetype equals = line.indexOf(u'=');
        const auto report = [&](const QString& why) { file.problems << problem(name, i + 1, why, line); };
        if (equals < 0) {
            report(QStringLiteral("falta \"=\" entre a grafia e a pronúncia"));
            continue;
        }
        const QString spelling = line.first(equals).trimmed();
        const QString said = line.sliced(equals + 1).trimmed();
        if (spelling.isEmpty()) {
            report(QStringLiteral("falta a grafia antes de \"=\""));
        } else if (!isOneWord(spelling)) {
            report(QStringLiteral("a grafia \"%1\" não é uma palavra só (só letras)").arg(spelling));
        } else if (const QString why = saidFormProblem(said); !why.isEmpty()) {
            report(why);
        } else {
            file.entries.add(spelling, said);
        }
    }
    return file;
}

PronunciationFile readPronunciationFile(const QString& path) {
    QFile f(path);
    if (!f.exists()) return {};
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly)) {
        PronunciationFile file;
        const QString why = QFileInfo(path).isDir() ? QStringLiteral("é uma pasta") : f.errorString();
        file.problems << QStringLiteral("%1: não foi possível ler o arquivo: %2").arg(path, why);
        return file;
    }
    return parsePronunciationFile(f.readAll(), path);
}

const Lexicon& clinicLexicon() { return theClinicLexicon(); }

void setClinicLexicon(Lexicon lexicon) { theClinicLexicon() = std::move(lexicon); }

void loadClinicLexicon(const QString& path, std::ostream& out) {
    PronunciationFile file = readPronunciationFile(path);
    for (const QString& p : std::as_const(file.problems)) out << p.toStdString() << '\n';
    out.flush();
    setClinicLexicon(std::move(file.entries));
}
