// Call messages: recognising the form, taking the message apart, and what each form sets.

#include "calls/grammar.h"
#include "calls/textpos.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "tests/support/qtprint.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace Qt::StringLiterals;

// Failure output for the grammar's types.
static void PrintTo(CallKind kind, std::ostream* os) {
    static const char* const names[] = {"Refresh",    "Counter",       "RiskRoom",
                                        "Consulting", "ReceptionDesk", "Reception"};
    *os << names[static_cast<int>(kind)];
}

static void PrintTo(const PanelChange& p, std::ostream* os) {
    *os << "{text ";
    if (p.text)
        PrintTo(*p.text, os);
    else
        *os << "unchanged";
    *os << ", font " << (p.fontSize ? std::to_string(*p.fontSize) : "unchanged") << ", visible "
        << (p.visible ? (*p.visible ? "true" : "false") : "unchanged") << "}";
}

namespace {

// Panel expectations.
const PanelChange kKeep{};
PanelChange text(const QString& t) {
    return {t, {}, {}};
}
PanelChange textFont(const QString& t, int font) {
    return {t, font, {}};
}
PanelChange shown(const QString& t, int font) {
    return {t, font, true};
}

const QString kTwentyBlanks = u"                    "_s;

struct FormCase {
    QString message;
    CallKind kind;
    PanelChange panel3, panel7, panel8;
    QString xsenha;
    QString announcement;
    int counter, ticket, pause;
};

// Every form, with the fonts of config.ini passed as nome (names) and servico (destination).
std::vector<FormCase> formCases(int nome, int servico) {
    const auto C = CallKind::Counter;
    const auto CR = CallKind::RiskRoom;
    const auto MD = CallKind::Consulting;
    const auto AC = CallKind::ReceptionDesk;
    const auto RE = CallKind::Reception;
    const QString nulAndSurrogate = QString(QChar(0)) + QChar(0xD800);
    return {
        // The worked examples.
        {u"03015A"_s, C, text(u"A 15"_s), kKeep, text(u"Guichê 3"_s), u"A"_s,
         u"Senha A 15, Guichê 3"_s, 3, 15, 1},
        {u"12007B"_s, C, text(u"B 7"_s), kKeep, text(u"Guichê 12"_s), u"B"_s,
         u"Senha B 7, Guichê 12"_s, 12, 7, 1},
        {u"CR*2JOANA PERES"_s, CR, textFont(u""_s, nome), shown(u"JOANA PERES"_s, nome),
         textFont(u"Sala de Classificação de Risco 2"_s, servico), u"2JOANA PERES"_s,
         u"JOANA PERES favor comparecer a sala de Classificação de Risco 2"_s, 0, 0, 0},
        {u"CR*JOANA PERES"_s, CR, textFont(u""_s, nome), shown(u"JOANA PERES"_s, nome),
         textFont(u"Sala de Classificação de Risco"_s, servico), u"JOANA PERES"_s,
         u"JOANA PERES favor comparecer a sala de Classificação de Risco"_s, 0, 0, 0},
        {u"MD*7ANA SOUTO"_s, MD, textFont(u"ANA SOUTO"_s, nome), kKeep,
         textFont(u"Consultório 7"_s, servico), u"ANA SOUTO"_s,
         u"ANA SOUTO favor comparecer ao consultório 7"_s, 0, 0, 0},
        {u"MD*89ANA SOUTO"_s, MD, textFont(u""_s, nome), kKeep, textFont(u"RESSONANCIA"_s, servico),
         u"ANA SOUTO"_s, u"ANA SOUTO favor comparecer a Ressonância"_s, 0, 0, 0},
        {u"MD*41ANA SOUTO"_s, MD, textFont(kTwentyBlanks + u"ANA SOUTO"_s, nome), kKeep,
         textFont(u"RECEPÇÃO - GUICHE 1"_s, servico), u"ANA SOUTO"_s,
         u"ANA SOUTO favor comparecer a Recepção, Guiche 1"_s, 0, 0, 0},
        {u"MD*12ANA SOUTO"_s, MD, textFont(u"ANA SOUTO"_s, nome), kKeep,
         textFont(u"Consultório 12"_s, servico), u"ANA SOUTO"_s,
         u"ANA SOUTO favor comparecer ao Consultório 12"_s, 0, 0, 0},
        {u"AC*LUIS MOTA"_s, AC, textFont(u""_s, nome), shown(u"LUIS MOTA"_s, nome),
         textFont(u"favor comparecer a recepção"_s, nome), u"LUIS MOTA"_s,
         u"LUIS MOTA\r favor comparecer a recepção"_s, 0, 0, 0},
        {u"RE*LUIS MOTA"_s, RE, text(u""_s), kKeep, text(u"Recepção"_s), u"LUIS MOTA"_s,
         u"LUIS MOTA favor comparecer a recepção"_s, 0, 0, 0},

        // Edge cases of the forms.
        {u"CR*0JOANA"_s, CR, textFont(u""_s, nome), shown(u"0JOANA"_s, nome),
         textFont(u"Sala de Classificação de Risco"_s, servico), u"0JOANA"_s,
         u"0JOANA favor comparecer a sala de Classificação de Risco"_s, 0, 0, 0},
        {u"CR*"_s, CR, textFont(u""_s, nome), shown(u""_s, nome),
         textFont(u"Sala de Classificação de Risco"_s, servico), u""_s,
         u" favor comparecer a sala de Classificação de Risco"_s, 0, 0, 0},
        {u"CR*9"_s, CR, textFont(u""_s, nome), shown(u""_s, nome),
         textFont(u"Sala de Classificação de Risco 9"_s, servico), u"9"_s,
         u" favor comparecer a sala de Classificação de Risco 9"_s, 0, 0, 0},
        {u"CR*1"_s, CR, textFont(u""_s, nome), shown(u""_s, nome),
         textFont(u"Sala de Classificação de Risco 1"_s, servico), u"1"_s,
         u" favor comparecer a sala de Classificação de Risco 1"_s, 0, 0, 0},
        {u"CR*٣ANA"_s, CR, textFont(u""_s, nome), shown(u"٣ANA"_s, nome),
         textFont(u"Sala de Classificação de Risco"_s, servico), u"٣ANA"_s,
         u"٣ANA favor comparecer a sala de Classificação de Risco"_s, 0, 0, 0},
        {u"MD*5"_s, MD, textFont(u""_s, nome), kKeep, textFont(u"Consultório 5"_s, servico), u""_s,
         u" favor comparecer ao consultório 5"_s, 0, 0, 0},
        {u"MD*5XAVIER"_s, MD, textFont(u"XAVIER"_s, nome), kKeep,
         textFont(u"Consultório 5"_s, servico), u"XAVIER"_s,
         u"XAVIER favor comparecer ao consultório 5"_s, 0, 0, 0},
        {u"MD*"_s, MD, textFont(u""_s, nome), kKeep, textFont(u"Consultório "_s, servico), u""_s,
         u" favor comparecer ao consultório "_s, 0, 0, 0},
        {u"MD*1٣"_s, MD, textFont(u"٣"_s, nome), kKeep, textFont(u"Consultório 1"_s, servico),
         u"٣"_s, u"٣ favor comparecer ao consultório 1"_s, 0, 0, 0},
        {u"MD*30"_s, MD, textFont(u""_s, nome), kKeep,
         textFont(u"SALA DE CLASSIFICAÇÃO DE RISCO 1"_s, servico), u""_s,
         u" favor comparecer a Sala 1"_s, 0, 0, 0},
        {u"MD*X5JOANA"_s, MD, textFont(u"JOANA"_s, nome), kKeep,
         textFont(u"Consultório X5"_s, servico), u"JOANA"_s,
         u"JOANA favor comparecer ao Consultório X5"_s, 0, 0, 0},
        {u"AC*LUIS"_s, AC, textFont(u""_s, nome), shown(u"LUIS"_s, nome),
         textFont(u"favor comparecer a recepção"_s, nome), u"LUIS"_s,
         u"LUIS\r favor comparecer a recepção"_s, 0, 0, 0},
        {u"AC*"_s, AC, textFont(u""_s, nome), shown(u""_s, nome),
         textFont(u"favor comparecer a recepção"_s, nome), u""_s,
         u"\r favor comparecer a recepção"_s, 0, 0, 0},
        {u"RE*"_s, RE, text(u""_s), kKeep, text(u"Recepção"_s), u""_s,
         u" favor comparecer a recepção"_s, 0, 0, 0},
        {u"RE*CR*X"_s, RE, text(u""_s), kKeep, text(u"Recepção"_s), u"CR*X"_s,
         u"CR*X favor comparecer a recepção"_s, 0, 0, 0},
        {u"RE*"_s + nulAndSurrogate, RE, text(u""_s), kKeep, text(u"Recepção"_s), nulAndSurrogate,
         nulAndSurrogate + u" favor comparecer a recepção"_s, 0, 0, 0},
        {u"AC*A\r\nB"_s, AC, textFont(u""_s, nome), shown(u"A\r\nB"_s, nome),
         textFont(u"favor comparecer a recepção"_s, nome), u"A\r\nB"_s,
         u"A\r\nB\r favor comparecer a recepção"_s, 0, 0, 0},

        // Counter calls: 50 characters after position 5 keep the first 40.
        {u"01002ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx"_s, C,
         text(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn 2"_s), kKeep, text(u"Guichê 1"_s),
         u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn"_s,
         u"Senha ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn 2, Guichê 1"_s, 1, 2, 1},
        {u"03015"_s, C, text(u" 15"_s), kKeep, text(u"Guichê 3"_s), u""_s, u"Senha  15, Guichê 3"_s,
         3, 15, 1},
        {u"0101"_s, C, text(u" 1"_s), kKeep, text(u"Guichê 1"_s), u""_s, u"Senha  1, Guichê 1"_s, 1,
         1, 1},
        {u"00000"_s, C, text(u" 0"_s), kKeep, text(u"Guichê 0"_s), u""_s, u"Senha  0, Guichê 0"_s,
         0, 0, 1},
        {u"99999 X Y"_s, C, text(u" X Y 999"_s), kKeep, text(u"Guichê 99"_s), u" X Y"_s,
         u"Senha  X Y 999, Guichê 99"_s, 99, 999, 1},
        {u"01001"_s + nulAndSurrogate, C, text(nulAndSurrogate + u" 1"_s), kKeep,
         text(u"Guichê 1"_s), nulAndSurrogate, u"Senha "_s + nulAndSurrogate + u" 1, Guichê 1"_s, 1,
         1, 1},
        {u"01001CR*2"_s, C, text(u"CR*2 1"_s), kKeep, text(u"Guichê 1"_s), u"CR*2"_s,
         u"Senha CR*2 1, Guichê 1"_s, 1, 1, 1},
        // The integer rule's other notations in the number positions.
        {u" 3 15A"_s, C, text(u"A 15"_s), kKeep, text(u"Guichê 3"_s), u"A"_s,
         u"Senha A 15, Guichê 3"_s, 3, 15, 1},
        {u"+3+15A"_s, C, text(u"A 15"_s), kKeep, text(u"Guichê 3"_s), u"A"_s,
         u"Senha A 15, Guichê 3"_s, 3, 15, 1},
        {u"-1-01A"_s, C, text(u"A -1"_s), kKeep, text(u"Guichê -1"_s), u"A"_s,
         u"Senha A -1, Guichê -1"_s, -1, -1, 1},
        {u"$F$1FA"_s, C, text(u"A 31"_s), kKeep, text(u"Guichê 15"_s), u"A"_s,
         u"Senha A 31, Guichê 15"_s, 15, 31, 1},
        {u"x1x1AB"_s, C, text(u"B 26"_s), kKeep, text(u"Guichê 1"_s), u"B"_s,
         u"Senha B 26, Guichê 1"_s, 1, 26, 1},
        {u"010x1B"_s, C, text(u"B 1"_s), kKeep, text(u"Guichê 1"_s), u"B"_s,
         u"Senha B 1, Guichê 1"_s, 1, 1, 1},
    };
}

void checkForms(int nome, int servico) {
    for (const FormCase& c : formCases(nome, servico)) {
        SCOPED_TRACE(::testing::PrintToString(c.message));
        EXPECT_EQ(classifyCall(c.message), c.kind);
        const CallResult r = parseCall(c.message, nome, servico);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.panel3, c.panel3);
        EXPECT_EQ(r.panel7, c.panel7);
        EXPECT_EQ(r.panel8, c.panel8);
        EXPECT_EQ(r.xsenha, c.xsenha);
        EXPECT_EQ(r.announcement, c.announcement);
        EXPECT_EQ(r.counter, c.counter);
        EXPECT_EQ(r.ticket, c.ticket);
        EXPECT_EQ(r.pauseSeconds, c.pause);
    }
}

TEST(TextPos, PiecesAreShorterOrEmptyWhereTheTextEnds) {
    const struct {
        QString text;
        qsizetype first, last;
        QString piece;
    } cases[] = {
        {u"ABCDE"_s, 1, 2, u"AB"_s}, {u"ABCDE"_s, 3, 5, u"CDE"_s}, {u"ABCDE"_s, 4, 4, u"D"_s},
        {u"ABCDE"_s, 5, 9, u"E"_s},  {u"ABCDE"_s, 6, 45, u""_s},   {u"ABCDE"_s, 3, 2, u""_s},
        {u"ABCDE"_s, 4, 1, u""_s},   {u""_s, 1, 2, u""_s},         {u"A"_s, 1, 2, u"A"_s},
        {u"AB"_s, 3, 5, u""_s},      {u"ABCDE"_s, 0, 1, u"A"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textpos::range(c.text, c.first, c.last), c.piece)
            << ::testing::PrintToString(c.text) << " " << c.first << ".." << c.last;
    EXPECT_EQ(textpos::from(u"ABCDE"_s, 4), u"DE"_s);
    EXPECT_EQ(textpos::from(u"ABC"_s, 4), u""_s);
    EXPECT_EQ(textpos::from(u"ABC"_s, 9), u""_s);
    EXPECT_TRUE(textpos::digitAt(u"MD*41"_s, 5));
    EXPECT_FALSE(textpos::digitAt(u"MD*4"_s, 5));
    EXPECT_FALSE(textpos::digitAt(u"MD*4٣"_s, 5));
    EXPECT_FALSE(textpos::digitAt(u"CR*0"_s, 4, u'1', u'9'));
    EXPECT_TRUE(textpos::digitAt(u"CR*9"_s, 4, u'1', u'9'));
    EXPECT_EQ(textpos::concat({u"a", u"", u"bc"}), u"abc"_s);
}

TEST(Grammar, EveryFormSetsItsPanelsTextsAndFonts) {
    checkForms(61, 37);
}

// The voice finds the ticket text again in a counter call's announcement, and in no other
// form's, whatever the name holds.
TEST(Grammar, TheTicketTextIsFoundInCounterAnnouncementsOnly) {
    std::vector<FormCase> cases = formCases(36, 32);
    for (const QString& name : {u"Senha A 1, Guichê 2"_s, u"X 1, Guichê 2"_s, u"Senha A 1, Guichê -2\r"_s})
        for (const QString& prefix : {u"MD*7"_s, u"MD*41"_s, u"MD*12"_s, u"CR*2"_s, u"CR*"_s, u"AC*"_s, u"RE*"_s})
            cases.push_back({prefix + name, classifyCall(prefix + name), {}, {}, {}, {}, {}, 0, 0, 0});
    for (const FormCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.message));
        const CallResult r = parseCall(c.message, 36, 32);
        const std::optional<TextSpan> span = counterTicketText(r.announcement);
        ASSERT_EQ(span.has_value(), r.kind == CallKind::Counter);
        if (!span) continue;
        EXPECT_EQ(span->start, 6);
        EXPECT_EQ(r.announcement.mid(span->start, span->length), r.xsenha);
    }
}

TEST(Grammar, FontSizesComeFromTheConfiguration) {
    checkForms(12, 90);
    checkForms(-3, 0);
}

TEST(Grammar, RecognisesTheFormByItsPrefix) {
    const struct {
        QString message;
        CallKind kind;
    } cases[] = {
        {u"refresh"_s, CallKind::Refresh},   {u"refresh "_s, CallKind::Counter},
        {u"Refresh"_s, CallKind::Counter},   {u"refresh\r\n"_s, CallKind::Counter},
        {u" refresh"_s, CallKind::Counter},  {u"refresh\0"_s, CallKind::Counter},
        {u"REFRESH"_s, CallKind::Counter},   {u""_s, CallKind::Counter},
        {u"CR*"_s, CallKind::RiskRoom},      {u"CR*2JOANA"_s, CallKind::RiskRoom},
        {u"cr*2JOANA"_s, CallKind::Counter}, {u"Cr*2JOANA"_s, CallKind::Counter},
        {u"CR"_s, CallKind::Counter},        {u"CR+"_s, CallKind::Counter},
        {u" CR*"_s, CallKind::Counter},      {u"MD*"_s, CallKind::Consulting},
        {u"md*41A"_s, CallKind::Counter},    {u"MD*41A"_s, CallKind::Consulting},
        {u"AC*"_s, CallKind::ReceptionDesk}, {u"ac*A"_s, CallKind::Counter},
        {u"RE*"_s, CallKind::Reception},     {u"RE*refresh"_s, CallKind::Reception},
        {u"Re*A"_s, CallKind::Counter},      {u"MD*CR*"_s, CallKind::Consulting},
        {u"CR*MD*"_s, CallKind::RiskRoom},   {u"ＣR*A"_s, CallKind::Counter},
        {u"03015A"_s, CallKind::Counter},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyCall(c.message), c.kind) << ::testing::PrintToString(c.message);
}

// [definicao] privacidade=S: the first word in full, the initials of the others, the particles
// left out; shown on the name line and spoken.
TEST(Grammar, APrivateNameIsItsFirstWordAndTheInitialsOfTheOthers) {
    const struct {
        QString name, shown;
    } cases[] = {
        {u"MARIA APARECIDA DOS SANTOS OLIVEIRA"_s, u"MARIA A. S. O."_s},
        {u"MARIA APARECIDA DOS SANTOS OLIVEIRA DE SOUZA"_s, u"MARIA A. S. O. S."_s},
        // Particles, in any letter case, "e" among them; the first word stays whatever it is.
        {u"JOSÉ DA SILVA E SOUZA"_s, u"JOSÉ S. S."_s},
        {u"Ana das Dores do Carmo De Lima"_s, u"Ana D. C. L."_s},
        {u"PEDRO DE DOS"_s, u"PEDRO"_s},
        {u"DA SILVA"_s, u"DA S."_s},
        {u"MARIA EDUARDA OLIVEIRA"_s, u"MARIA E. O."_s},
        // One word, none.
        {u"MARIA"_s, u"MARIA"_s},
        {u"  MARIA  "_s, u"MARIA"_s},
        {u""_s, u""_s},
        {u"   "_s, u""_s},
        // Accents kept, in capitals; also as a letter followed by its combining mark.
        {u"JOÃO ÉDSON ÁVILA ÚRSULA"_s, u"JOÃO É. Á. Ú."_s},
        {u"joão édson"_s, u"joão É."_s},
        {u"ANA E\u0301RICA"_s, u"ANA E\u0301."_s},
        // Apostrophes and hyphens.
        {u"JOANA D'ARC SANT'ANNA"_s, u"JOANA D. S."_s},
        {u"MARIA O'NEIL"_s, u"MARIA O."_s},
        {u"ANA-CLARA SOUZA-LIMA"_s, u"ANA-CLARA S.-L."_s},
        {u"LUIS MOTA- -FILHO"_s, u"LUIS M. F."_s},
        // Tabs and runs of blanks; what is no letter is passed over or left out.
        {u"MARIA\tDA  PENHA"_s, u"MARIA P."_s},
        {u"MARIA \"NENA\" SILVA (ACOMP.)"_s, u"MARIA N. S. A."_s},
        {u"JOSÉ - SILVA 2"_s, u"JOSÉ S."_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.name));
        const CallResult r = parseCall(u"MD*7"_s + c.name, 36, 32, NameForm::Private);
        EXPECT_EQ(r.panel3, textFont(c.shown, 36));
        EXPECT_EQ(r.announcement, c.shown + u" favor comparecer ao consultório 7"_s);
    }
}

// Every form that shows or speaks a name does it in the private form; the rest of the call is
// as without it: ticket calls, the destinations, fonts, xsenha.
TEST(Grammar, EveryFormWithANameUsesItsPrivateForm) {
    const QString name = u"MARIA DAS DORES LIMA"_s;
    const QString shown = u"MARIA D. L."_s;
    const struct {
        QString message;
        std::optional<QString> panel3, panel7;
        QString announcement;
    } cases[] = {
        {u"CR*2"_s + name, u""_s, shown, shown + u" favor comparecer a sala de Classificação de Risco 2"_s},
        {u"CR*"_s + name, u""_s, shown, shown + u" favor comparecer a sala de Classificação de Risco"_s},
        {u"MD*7"_s + name, shown, {}, shown + u" favor comparecer ao consultório 7"_s},
        {u"MD*41"_s + name, kTwentyBlanks + shown, {}, shown + u" favor comparecer a Recepção, Guiche 1"_s},
        {u"MD*30"_s + name, u""_s, {}, shown + u" favor comparecer a Sala 1"_s},
        {u"MD*12"_s + name, shown, {}, shown + u" favor comparecer ao Consultório 12"_s},
        {u"AC*"_s + name, u""_s, shown, shown + u"\r favor comparecer a recepção"_s},
        {u"RE*"_s + name, u""_s, {}, shown + u" favor comparecer a recepção"_s},
        {u"03015"_s + name, name + u" 15"_s, {}, u"Senha "_s + name + u" 15, Guichê 3"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.message));
        const CallResult full = parseCall(c.message, 61, 37);
        const CallResult r = parseCall(c.message, 61, 37, NameForm::Private);
        EXPECT_EQ(r.panel3.text, c.panel3);
        EXPECT_EQ(r.panel7.text, c.panel7);
        EXPECT_EQ(r.announcement, c.announcement);
        EXPECT_EQ(r.panel8, full.panel8);
        EXPECT_EQ(r.panel3.fontSize, full.panel3.fontSize);
        EXPECT_EQ(r.panel7.fontSize, full.panel7.fontSize);
        EXPECT_EQ(r.panel7.visible, full.panel7.visible);
        EXPECT_EQ(r.xsenha, full.xsenha);
    }
}

TEST(Grammar, RefreshSetsNothing) {
    const CallResult r = parseCall(u"refresh"_s, 61, 37);
    EXPECT_EQ(r.kind, CallKind::Refresh);
    EXPECT_EQ(r.panel3, kKeep);
    EXPECT_EQ(r.panel7, kKeep);
    EXPECT_EQ(r.panel8, kKeep);
    EXPECT_TRUE(r.xsenha.isEmpty());
    EXPECT_TRUE(r.announcement.isEmpty());
    EXPECT_EQ(r.pauseSeconds, 0);
}

TEST(Grammar, CounterCallWithoutWholeNumbersFailsNamingTheText) {
    const struct {
        QString message;
        QString offending; // the piece that the error names
    } cases[] = {
        {u"cr*2JOANA"_s, u"cr"_s},
        {u"refresh "_s, u"re"_s},
        {u"Refresh"_s, u"Re"_s},
        {u"refresh\r\n"_s, u"re"_s},
        {u""_s, u""_s},
        {u"1"_s, u""_s},
        {u"12"_s, u""_s},
        {u"ab015X"_s, u"ab"_s},
        {u"01abcX"_s, u"abc"_s},
        {u"0115 A"_s, u"15 "_s},
        {u"1 015"_s, u"1 "_s},
        {u"0x015"_s, u"0x"_s},
        {u"01$"_s, u"$"_s},
        {u"01-"_s, u"-"_s},
        {u"CR"_s, u"CR"_s},
        {u"ＣR*1"_s, u"ＣR"_s},
        {u"01 1 X"_s, u" 1 "_s},
        {u"0\r015"_s, u"0\r"_s},
        {u"010\n5"_s, u"0\n5"_s},
        {u"٣٣015"_s, u"٣٣"_s},
        {u"01٣15"_s, u"٣15"_s},
        {u"01%1%1"_s, u"%1%"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.message));
        try {
            parseCall(c.message, 61, 37);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.text(), u"'"_s + c.offending + u"' is not a valid integer value"_s);
        }
    }
    // Lone surrogates and NULs in the number positions are named as they are.
    const QString odd = QString(QChar(0xDC00)) + QChar(0);
    try {
        parseCall(odd + u"015"_s, 61, 37);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.text(), u"'"_s + odd + u"' is not a valid integer value"_s);
    }
}

TEST(Grammar, AHugeMessageGivesResultsInProportion) {
    const QString name(1 << 20, u'A');
    const struct {
        QString prefix;
        QString phrase;
    } forms[] = {
        {u"CR*"_s, u" favor comparecer a sala de Classificação de Risco"_s},
        {u"MD*41"_s, u" favor comparecer a Recepção, Guiche 1"_s},
        {u"MD*1"_s, u" favor comparecer ao consultório 1"_s},
        {u"AC*"_s, u"\r favor comparecer a recepção"_s},
        {u"RE*"_s, u" favor comparecer a recepção"_s},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(::testing::PrintToString(f.prefix));
        const CallResult r = parseCall(f.prefix + name, 61, 37);
        EXPECT_EQ(r.announcement, name + f.phrase);
        EXPECT_EQ(r.xsenha, name);
    }
    const CallResult counter = parseCall(u"01002"_s + name, 61, 37);
    EXPECT_EQ(counter.xsenha, QString(40, u'A'));
    EXPECT_EQ(counter.announcement, u"Senha "_s + QString(40, u'A') + u" 2, Guichê 1"_s);
}

// Random messages: the forms never fail but for counter calls, which fail only naming one of
// their number positions, and the results stay within what the message gave them.
enum class Outcome { Form, Counter, Failed };

Outcome checkInvariants(const QString& T, int nome, int servico) {
    SCOPED_TRACE(::testing::PrintToString(T));
    const CallKind kind = classifyCall(T);
    if (kind == CallKind::Counter) {
        CallResult r;
        try {
            r = parseCall(T, nome, servico);
        } catch (const EConvertError& e) {
            const QString left = u"'"_s + T.left(2) + u"' is not a valid integer value"_s;
            const QString mid = u"'"_s + T.mid(2, 3) + u"' is not a valid integer value"_s;
            EXPECT_TRUE(e.text() == left || e.text() == mid) << ::testing::PrintToString(e.text());
            return Outcome::Failed;
        }
        EXPECT_EQ(r.kind, CallKind::Counter);
        EXPECT_LE(r.xsenha.size(), 40);
        EXPECT_EQ(r.xsenha, T.mid(5, 40));
        EXPECT_EQ(r.panel3, text(r.xsenha + u" "_s + QString::number(r.ticket)));
        EXPECT_EQ(r.panel8, text(u"Guichê "_s + QString::number(r.counter)));
        EXPECT_EQ(r.panel7, kKeep);
        EXPECT_EQ(r.announcement, u"Senha "_s + *r.panel3.text + u", "_s + *r.panel8.text);
        EXPECT_EQ(r.pauseSeconds, 1);
        return Outcome::Counter;
    }
    CallResult r;
    try {
        r = parseCall(T, nome, servico);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected error " << e.what();
        return Outcome::Form;
    }
    EXPECT_EQ(r.kind, kind);
    EXPECT_EQ(r.pauseSeconds, 0);
    if (kind == CallKind::Refresh) return Outcome::Form;
    // The name is the message's tail after the prefix and at most two more characters.
    EXPECT_TRUE(r.xsenha == T.mid(3) || r.xsenha == T.mid(4) || r.xsenha == T.mid(5));
    EXPECT_TRUE(r.announcement.startsWith(T.mid(3)) || r.announcement.startsWith(T.mid(4)) ||
                r.announcement.startsWith(T.mid(5)))
        << ::testing::PrintToString(r.announcement);
    EXPECT_LE(r.announcement.size(), T.size() + 60);
    for (const PanelChange* p : {&r.panel3, &r.panel7, &r.panel8}) {
        if (p->text) {
            EXPECT_LE(p->text->size(), T.size() + 40);
        }
        if (p->fontSize) {
            EXPECT_TRUE(*p->fontSize == nome || *p->fontSize == servico);
        }
        if (p->visible) {
            EXPECT_TRUE(*p->visible);
        }
    }
    return Outcome::Form;
}

// Random texts that start with a known prefix, digits, or anything at all.
QByteArray randomMessage(std::mt19937& gen) {
    static const char* const starts[] = {"CR*", "MD*",  "AC*", "RE*", "MD*4",   "CR*1",
                                         "01",  "0101", "",    "",    "refresh"};
    std::uniform_int_distribution<int> pickStart(0, std::size(starts) - 1);
    std::uniform_int_distribution<int> length(0, 60);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> digit('0', '9');
    std::bernoulli_distribution digitFirst(0.3);
    QByteArray bytes = starts[pickStart(gen)];
    for (int n = length(gen); n > 0; --n)
        bytes.append(char(digitFirst(gen) ? digit(gen) : byte(gen)));
    return bytes;
}

TEST(Grammar, RandomBytesThroughTheCodePage) {
    std::mt19937 gen(20240611);
    int seen[3] = {};
    for (int i = 0; i < 5000 && !::testing::Test::HasFailure(); ++i)
        ++seen[int(checkInvariants(cp1252::decode(randomMessage(gen)), 61, 37))];
    // The generator reaches the prefixed forms, counter calls and failing counter calls.
    EXPECT_GT(seen[int(Outcome::Form)], 1000);
    EXPECT_GT(seen[int(Outcome::Counter)], 100);
    EXPECT_GT(seen[int(Outcome::Failed)], 1000);
}

TEST(Grammar, RandomUtf16CodeUnits) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> length(0, 60);
    std::uniform_int_distribution<int> unit(0, 0xFFFF);
    const QString starts[] = {u"CR*"_s, u"MD*"_s, u"AC*"_s, u"RE*"_s, u"MD*4"_s, u"01"_s, u""_s};
    std::uniform_int_distribution<int> pickStart(0, std::size(starts) - 1);
    for (int i = 0; i < 5000 && !::testing::Test::HasFailure(); ++i) {
        QString T = starts[pickStart(gen)];
        for (int n = length(gen); n > 0; --n)
            T.append(QChar(char16_t(unit(gen))));
        checkInvariants(T, 61, 37);
    }
}

} // namespace
