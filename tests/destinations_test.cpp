// The destination table of "MD*" calls: every row, and the consulting-room fallback.

#include "calls/destinations.h"
#include "calls/grammar.h"
#include "tests/support/qtprint.h"

#include <gtest/gtest.h>

#include <set>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNome = 61;
constexpr int kServico = 37;

// The table as the clinic's panels must show it. Ticket line: '-' empty, 'N' the name,
// 'P' twenty blanks and the name.
struct Row {
    const char* code;
    const char* title;
    const char* phrase;
    char panel3;
};

const Row kExpected[] = {
    {"30", "SALA DE CLASSIFICAÇÃO DE RISCO 1", " favor comparecer a Sala 1", '-'},
    {"31", "SALA DE CLASSIFICAÇÃO 2 DE RISCO", " favor comparecer a Sala 2", '-'},
    {"32", "RECEPÇÃO", " favor comparecer a Recepção", 'P'},
    {"41", "RECEPÇÃO - GUICHE 1", " favor comparecer a Recepção, Guiche 1", 'P'},
    {"42", "RECEPÇÃO - GUICHE 2", " favor comparecer a Recepção, Guiche 2", 'P'},
    {"43", "RECEPÇÃO - GUICHE 3", " favor comparecer a Recepção, Guiche 3", 'P'},
    {"44", "RECEPÇÃO - GUICHE 4", " favor comparecer a Recepção, Guiche 4", 'P'},
    {"45", "RECEPÇÃO - GUICHE 5", " favor comparecer a Recepção, Guiche 5", 'P'},
    {"50", "SALA DE SUTURA", " favor comparecer a Sala de Sutura", '-'},
    {"51", "SALA DE MEDICAÇÃO", " favor comparecer a Sala de Medicação", 'N'},
    {"52", "OBSERVAÇÃO ADULTA", " favor comparecer a Observação Adulta", '-'},
    {"53", "OBSERVAÇÃO PEDIATRICA", " favor comparecer a Observação Pediatrica", '-'},
    {"54", "SALA VERMELHA", " favor comparecer a Sala Vermelha", '-'},
    {"55", "SERVIÇO SOCIAL", " favor comparecer ao Serviço Social", '-'},
    {"83", "RAIO X", " favor comparecer a Sala do RX", 'N'},
    {"84", "BIOIMAGEM", " favor comparecer a Sala de Bioimagem", '-'},
    {"85", "SALA DE EXAME", " favor comparecer a Sala de Exame 1", '-'},
    {"86", "SALA DE EXAME 1", " favor comparecer a Sala de Exame 1", '-'},
    {"87", "SALA DE EXAME 2", " favor comparecer a Sala de Exame 2", '-'},
    {"88", "SALA DE EXAME 3", " favor comparecer a Sala de Exame 3", '-'},
    {"89", "RESSONANCIA", " favor comparecer a Ressonância", '-'},
    {"90", "TOMOGRAFIA", " favor comparecer a Tomografia", '-'},
    {"91", "ENDOSCOPIA", " favor comparecer a Endoscopia", '-'},
    {"92", "LITOTRIPSIA", " favor comparecer a Litotripsia", '-'},
    {"94", "ODONTOLOGIA", " favor comparecer a Odontologia", '-'},
    {"95", "TESTE ALÉRGICO", " favor comparecer ao Teste Alérgico", '-'},
    {"96", "OTONEUROLOGICO", " favor comparecer Exame Otoneurologico", '-'},
    {"97", "AUDIOLÓGICO", " favor comparecer Exame Audiológico", '-'},
    {"98", "PRONTO ATENDIMENTO", " favor comparecer a Sala de PRONTO ATENDIMENTO", '-'},
    {"99", "ELETROCARDIOGRAMA", " favor comparecer ao ELETROCARDIOGRAMA", 'N'},
};

QString u8(const char* s) {
    return QString::fromUtf8(s);
}

QString expectedPanel3(char rule, const QString& name) {
    if (rule == 'N') return name;
    if (rule == 'P') return u"                    "_s + name;
    return {};
}

const QString kNames[] = {u"JOANA"_s, u""_s, u"ANA SOUTO DE ÁVILA"_s,
                          QString(QChar(0)) + QChar(0xDBFF) + u" x"_s};

TEST(Destinations, TableHoldsExactlyTheThirtyRowsInOrder) {
    const auto table = destinationTable();
    ASSERT_EQ(table.size(), std::size(kExpected));
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(kExpected[i].code);
        EXPECT_EQ(table[i].code, u8(kExpected[i].code));
        EXPECT_EQ(table[i].title, u8(kExpected[i].title));
        EXPECT_EQ(table[i].phrase, u8(kExpected[i].phrase));
        const auto rule = kExpected[i].panel3 == 'N'   ? Destination::Panel3Rule::Name
                          : kExpected[i].panel3 == 'P' ? Destination::Panel3Rule::PaddedName
                                                       : Destination::Panel3Rule::Empty;
        EXPECT_EQ(table[i].rule, rule);
        EXPECT_EQ(findDestination(u8(kExpected[i].code)), &table[i]);
    }
}

TEST(Destinations, EveryRowSetsTitlePhraseAndTicketLine) {
    for (const Row& row : kExpected) {
        for (const QString& name : kNames) {
            SCOPED_TRACE(::testing::PrintToString(u8(row.code) + u"/"_s + name));
            const DestinationCall d = callDestination(u8(row.code), name);
            EXPECT_EQ(d.panel8, u8(row.title));
            EXPECT_EQ(d.announcement, name + u8(row.phrase));
            EXPECT_EQ(d.panel3, expectedPanel3(row.panel3, name));

            // The same through a whole "MD*" message; the table changes no font.
            const CallResult r = parseCall(u"MD*"_s + u8(row.code) + name, kNome, kServico);
            EXPECT_EQ(r.kind, CallKind::Consulting);
            EXPECT_EQ(r.panel3, (PanelChange{expectedPanel3(row.panel3, name), kNome, {}}));
            EXPECT_EQ(r.panel8, (PanelChange{u8(row.title), kServico, {}}));
            EXPECT_EQ(r.panel7, PanelChange{});
            EXPECT_EQ(r.xsenha, name);
            EXPECT_EQ(r.announcement, name + u8(row.phrase));
        }
    }
}

// A code outside the table is a consulting room named by the code exactly as it came.
void expectFallback(const QString& code, const QString& name) {
    SCOPED_TRACE(::testing::PrintToString(code + u"/"_s + name));
    EXPECT_EQ(findDestination(code), nullptr);
    const DestinationCall d = callDestination(code, name);
    EXPECT_EQ(d.panel3, name);
    EXPECT_EQ(d.panel8, u"Consultório "_s + code);
    EXPECT_EQ(d.announcement, name + u" favor comparecer ao Consultório "_s + code);
}

TEST(Destinations, EveryOtherTwoDigitCodeIsAConsultingRoom) {
    std::set<QString> inTable;
    for (const Row& row : kExpected)
        inTable.insert(u8(row.code));
    int fallbacks = 0;
    for (int n = 0; n <= 99; ++n) {
        const QString code = QString::number(n).rightJustified(2, u'0');
        if (inTable.count(code)) continue;
        ++fallbacks;
        for (const QString& name : kNames)
            expectFallback(code, name);
    }
    EXPECT_EQ(fallbacks, 70);
}

TEST(Destinations, CodesAreComparedAsText) {
    const QString codes[] = {u"X5"_s,
                             u"A0"_s,
                             u" 5"_s,
                             u"-5"_s,
                             u"+5"_s,
                             u"é9"_s,
                             u"3"_s,
                             u"300"_s,
                             u""_s,
                             u"４１"_s,
                             u"41 "_s,
                             u" 41"_s,
                             QString(QChar(0)) + u"5"_s,
                             QString(QChar(0xD800)) + u"5"_s};
    for (const QString& code : codes)
        for (const QString& name : kNames)
            expectFallback(code, name);
}

TEST(Destinations, MessagesWithCodesOutsideTheTable) {
    const struct {
        QString message;
        QString panel3, panel8, announcement;
    } cases[] = {
        {u"MD*93JOANA"_s, u"JOANA"_s, u"Consultório 93"_s,
         u"JOANA favor comparecer ao Consultório 93"_s},
        {u"MD*07JOANA"_s, u"JOANA"_s, u"Consultório 07"_s,
         u"JOANA favor comparecer ao Consultório 07"_s},
        {u"MD*X5JOANA"_s, u"JOANA"_s, u"Consultório X5"_s,
         u"JOANA favor comparecer ao Consultório X5"_s},
        {u"MD*00JOANA"_s, u"JOANA"_s, u"Consultório 00"_s,
         u"JOANA favor comparecer ao Consultório 00"_s},
        {u"MD*29"_s, u""_s, u"Consultório 29"_s, u" favor comparecer ao Consultório 29"_s},
        {u"MD*33 A"_s, u" A"_s, u"Consultório 33"_s, u" A favor comparecer ao Consultório 33"_s},
        {u"MD*40JOANA"_s, u"JOANA"_s, u"Consultório 40"_s,
         u"JOANA favor comparecer ao Consultório 40"_s},
        {u"MD*46JOANA"_s, u"JOANA"_s, u"Consultório 46"_s,
         u"JOANA favor comparecer ao Consultório 46"_s},
        {u"MD*49JOANA"_s, u"JOANA"_s, u"Consultório 49"_s,
         u"JOANA favor comparecer ao Consultório 49"_s},
        {u"MD*56JOANA"_s, u"JOANA"_s, u"Consultório 56"_s,
         u"JOANA favor comparecer ao Consultório 56"_s},
        {u"MD*82JOANA"_s, u"JOANA"_s, u"Consultório 82"_s,
         u"JOANA favor comparecer ao Consultório 82"_s},
        {u"MD**0JOANA"_s, u"JOANA"_s, u"Consultório *0"_s,
         u"JOANA favor comparecer ao Consultório *0"_s},
        // The table's own edge rows.
        {u"MD*30JOANA"_s, u""_s, u"SALA DE CLASSIFICAÇÃO DE RISCO 1"_s,
         u"JOANA favor comparecer a Sala 1"_s},
        {u"MD*45JOANA"_s, u"                    JOANA"_s, u"RECEPÇÃO - GUICHE 5"_s,
         u"JOANA favor comparecer a Recepção, Guiche 5"_s},
        {u"MD*99JOANA"_s, u"JOANA"_s, u"ELETROCARDIOGRAMA"_s,
         u"JOANA favor comparecer ao ELETROCARDIOGRAMA"_s},
        {u"MD*30"_s, u""_s, u"SALA DE CLASSIFICAÇÃO DE RISCO 1"_s, u" favor comparecer a Sala 1"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.message));
        const CallResult r = parseCall(c.message, kNome, kServico);
        EXPECT_EQ(r.panel3, (PanelChange{c.panel3, kNome, {}}));
        EXPECT_EQ(r.panel8, (PanelChange{c.panel8, kServico, {}}));
        EXPECT_EQ(r.announcement, c.announcement);
    }
}

} // namespace
