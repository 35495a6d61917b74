// The clinic's pronuncia.txt: its lines, its encodings, the lines that cannot be read, and what
// the voice then says.

#include "calls/espeakvoice.h"
#include "calls/pronunciationfile.h"
#include "base/codepage.h"
#include "tests/support/qtprint.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using R = EspeakVoice::Reading;

QString said(const Lexicon& lexicon, const QString& word) {
    const QString* s = lexicon.find(word);
    return s ? *s : QStringLiteral("(none)");
}

TEST(PronunciationFile, EveryLineFormat) {
    const QByteArray text = "# nomes desta clínica\n"
                            "   # um comentário depois de brancos\n"
                            "\n"
                            "   \t \n"
                            "THIAGO=Tchiago\n"
                            "  souza  =  Sôuza  \n"
                            "Jennifer=[[dZ'Enifer]]\n"
                            "MARIA EDUARDA\n"
                            "=Vazio\n"
                            "VAZIO=\n"
                            "DUAS PALAVRAS=Duas\n"
                            "Ana2=Ana\n"
                            "NOME=[[sem fim\n"
                            "NOME=[[ ]]\n"
                            "NOME=[[n\xC3\xB3me]]\n"
                            "NOME=[[n'ome]]s\n"
                            "NOME=Ana; Bia\n"
                            "NOME=-Ana\n"
                            "thiago=Tiago\n"
                            "ÁVILA=Ávila Lima\n";
    const PronunciationFile file = parsePronunciationFile(text, QStringLiteral("pronuncia.txt"));
    EXPECT_EQ(file.entries.size(), 4);
    // A later line of a spelling replaces an earlier one; case does not matter.
    EXPECT_EQ(said(file.entries, "THIAGO"), "Tiago");
    EXPECT_EQ(said(file.entries, "Souza"), "Sôuza");
    EXPECT_EQ(said(file.entries, "JENNIFER"), "[[dZ'Enifer]]");
    EXPECT_EQ(said(file.entries, QStringLiteral("ávila")), QStringLiteral("Ávila Lima"));
    EXPECT_EQ(said(file.entries, "NOME"), "(none)");
    const QStringList expected = {
        QStringLiteral("pronuncia.txt, linha 8: falta \"=\" entre a grafia e a pronúncia: MARIA EDUARDA"),
        QStringLiteral("pronuncia.txt, linha 9: falta a grafia antes de \"=\": =Vazio"),
        QStringLiteral("pronuncia.txt, linha 10: a pronúncia está vazia: VAZIO="),
        QStringLiteral("pronuncia.txt, linha 11: a grafia \"DUAS PALAVRAS\" não é uma palavra só (só letras): "
                       "DUAS PALAVRAS=Duas"),
        QStringLiteral("pronuncia.txt, linha 12: a grafia \"Ana2\" não é uma palavra só (só letras): Ana2=Ana"),
        QStringLiteral("pronuncia.txt, linha 13: falta \"]]\" depois dos fonemas: NOME=[[sem fim"),
        QStringLiteral("pronuncia.txt, linha 14: não há fonemas entre \"[[\" e \"]]\": NOME=[[ ]]"),
        QStringLiteral("pronuncia.txt, linha 15: os fonemas do espeak-ng são letras e sinais ASCII, como em "
                       "[[tS'iagU]]: NOME=[[nóme]]"),
        QStringLiteral("pronuncia.txt, linha 16: nada pode vir depois de \"]]\": NOME=[[n'ome]]s"),
        QStringLiteral("pronuncia.txt, linha 17: uma grafia tem só letras, espaços, hífens e apóstrofos; fonemas "
                       "vão entre \"[[\" e \"]]\": NOME=Ana; Bia"),
        QStringLiteral("pronuncia.txt, linha 18: uma grafia começa por uma letra: NOME=-Ana"),
    };
    EXPECT_EQ(file.problems, expected);
}

TEST(PronunciationFile, LinesAreNumberedWhateverTheirEnds) {
    for (const char* end : {"\n", "\r\n", "\r"}) {
        const QByteArray text = QByteArray("# a\n").replace("\n", end) + "A=Á" + end + end + "SEM IGUAL" + end;
        const PronunciationFile file = parsePronunciationFile(text, QStringLiteral("p.txt"));
        EXPECT_EQ(file.entries.size(), 1);
        ASSERT_EQ(file.problems.size(), 1) << end;
        EXPECT_TRUE(file.problems[0].startsWith(QStringLiteral("p.txt, linha 4: "))) << file.problems[0].toStdString();
    }
}

// The same entries in every encoding the file may have, and the voice says them the same.
TEST(PronunciationFile, EveryEncodingGivesTheSameEntriesAndTheSameSpeech) {
    const QString text = QStringLiteral("JOSÉ=Juzé\r\nCONCEIÇÃO=Conceissão\r\nGONÇALVES=[[g,oNs'aUvis]]\r\n");
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"UTF-8", text.toUtf8()},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + text.toUtf8()},
        {"Windows-1252", cp1252::encode(text)},
        {"UTF-16 with a byte-order mark", utf16(text)},
    };
    EXPECT_NE(files[0].bytes, files[2].bytes);
    EspeakVoice voice;
    const QString expected = voice.phonemes(QStringLiteral("Juzé da Conceissão [[g,oNs'aUvis]]"), R::AsGiven);
    ASSERT_NE(voice.phonemes(QStringLiteral("JOSÉ DA CONCEIÇÃO GONÇALVES")), expected);
    for (const auto& f : files) {
        PronunciationFile file = parsePronunciationFile(f.bytes, QStringLiteral("pronuncia.txt"));
        EXPECT_TRUE(file.problems.isEmpty()) << f.name << ": " << file.problems.join(u'\n').toStdString();
        EXPECT_EQ(said(file.entries, QStringLiteral("josé")), QStringLiteral("Juzé")) << f.name;
        setClinicLexicon(std::move(file.entries));
        EXPECT_EQ(voice.phonemes(QStringLiteral("JOSÉ DA CONCEIÇÃO GONÇALVES")), expected) << f.name;
    }
    setClinicLexicon({});
}

TEST(PronunciationFile, AMissingFileIsNoChangeAndAnUnreadableOneIsOneProblem) {
    TestDir dir;
    const PronunciationFile none = readPronunciationFile(dir.file(QStringLiteral("pronuncia.txt")));
    EXPECT_TRUE(none.entries.isEmpty());
    EXPECT_TRUE(none.problems.isEmpty());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("pasta.txt")));
    const PronunciationFile folder = readPronunciationFile(dir.file(QStringLiteral("pasta.txt")));
    EXPECT_TRUE(folder.entries.isEmpty());
    EXPECT_EQ(folder.problems,
              QStringList{dir.file(QStringLiteral("pasta.txt")) + QStringLiteral(": não foi possível ler o arquivo: é uma pasta")});
    const QString path = dir.write(QStringLiteral("pronuncia.txt"), "ANA=Âna\nX\n");
    const PronunciationFile file = readPronunciationFile(path);
    EXPECT_EQ(said(file.entries, "ana"), QStringLiteral("Âna"));
    EXPECT_EQ(file.problems, QStringList{path + QStringLiteral(", linha 2: falta \"=\" entre a grafia e a pronúncia: X")});
}

TEST(PronunciationFile, LoadingReportsEachProblemOnALineAndKeepsTheRest) {
    TestDir dir;
    const QString path = dir.write(QStringLiteral("pronuncia.txt"), "ANA=Âna\nX\nBIA=\nCAIO=Cáio\n");
    std::ostringstream out;
    loadClinicLexicon(path, out);
    EXPECT_EQ(QString::fromStdString(out.str()),
              path + QStringLiteral(", linha 2: falta \"=\" entre a grafia e a pronúncia: X\n") + path +
                  QStringLiteral(", linha 3: a pronúncia está vazia: BIA=\n"));
    EXPECT_EQ(said(clinicLexicon(), "ANA"), QStringLiteral("Âna"));
    EXPECT_EQ(said(clinicLexicon(), "Caio"), QStringLiteral("Cáio"));
    // No file: the lexicon is empty again and nothing is said about it.
    std::ostringstream quiet;
    loadClinicLexicon(dir.file(QStringLiteral("nenhum.txt")), quiet);
    EXPECT_TRUE(quiet.str().empty());
    EXPECT_TRUE(clinicLexicon().isEmpty());
}

} // namespace
