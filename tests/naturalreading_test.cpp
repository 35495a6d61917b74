// The text given to the speech engine: names in capitals read as words.

#include "calls/naturalreading.h"
#include "tests/support/qtprint.h"

#include <gtest/gtest.h>

namespace {

TEST(NaturalReading, Table) {
    const struct {
        QString text;
        QString expected;
    } cases[] = {
        // Names in capitals become words.
        {"ANA SOUTO favor comparecer a Recepção, Guiche 1", "Ana Souto favor comparecer a Recepção, Guichê 1"},
        {"JOANA PERES favor comparecer a sala de Classificação de Risco 2",
         "Joana Peres favor comparecer a sala de Classificação de Risco 2"},
        {"JOÃO D'ÁVILA", "João D'Ávila"},
        {"MARIA-JOSÉ ÇÃO", "Maria-José Ção"},
        {"LI WEI", "Li Wei"},
        {"JO DE SOUZA", "Jo De Souza"},
        // The carriage return of a reception-desk call stays where it is.
        {"LUIS MOTA\r favor comparecer a recepção", "Luis Mota\r favor comparecer a recepção"},
        {"LUIS\r favor comparecer a recepção", "Luis\r favor comparecer a recepção"},
        // The letters of a counter call's ticket are spelled by their names; its numbers stay.
        {"Senha A 15, Guichê 3", "Senha [['a]] 15, Guichê 3"},
        {"Senha B 7, Guichê 12", "Senha [[b'e]] 7, Guichê 12"},
        {"Senha AE 15, Guichê 3", "Senha [['a]] [['E]] 15, Guichê 3"},
        {"Senha Ço 1, Guichê -3", "Senha [[s'e s,edZ'ilj&]] [['O]] 1, Guichê -3"},
        {QStringLiteral("Senha E\u0301A2 -1, Guichê 3"), "Senha [['E ag'udU]] [['a]] 2 -1, Guichê 3"},
        {"Senha A-B1 X 10, Guichê 3", "Senha [['a]]- [[b'e]] 1 [[S'is]] 10, Guichê 3"},
        {"Senha  15, Guichê 3", "Senha  15, Guichê 3"},
        {QStringLiteral("Senha \u0416 15, Guichê 3"), QStringLiteral("Senha \u0416 15, Guichê 3")},
        // Only a counter call's announcement has a ticket.
        {"AE favor comparecer ao consultório 7", "Ae favor comparecer ao consultório 7"},
        {"Senha AE 15, Guichê 3 favor comparecer a recepção", "Senha Ae 15, Guichê 3 favor comparecer a recepção"},
        // A station's text cannot reach the engine's phoneme notation.
        {"ANA [[p'a]] SOUTO", "Ana   p'a   Souto"},
        {"Senha [[x]] 1, Guichê 2", "Senha   [[S'is]]   1, Guichê 2"},
        // Words without a vowel are abbreviations, spelled; Roman numerals stay numerals.
        {"MARIA favor comparecer a Sala do RX", "Maria favor comparecer a Sala do RX"},
        {"JOÃO PAULO II", "João Paulo II"},
        {"PEDRO XIV e LUIS IX e ANA VI", "Pedro XIV e Luis IX e Ana VI"},
        {"VIVI IVI XAVIER", "Vivi Ivi Xavier"},
        // Capitals of the destination phrases.
        {"ANA favor comparecer ao ELETROCARDIOGRAMA", "Ana favor comparecer ao Eletrocardiograma"},
        {"ANA favor comparecer a Sala de PRONTO ATENDIMENTO", "Ana favor comparecer a Sala de Pronto Atendimento"},
        // Digits next to letters, mixed case.
        {"0JOANA favor comparecer a sala de Classificação de Risco", "0Joana favor comparecer a sala de Classificação de Risco"},
        {"ANA2 B3", "Ana2 B3"},
        {"McDONALD", "McDONALD"},
        // Decomposed accents belong to their word.
        {QStringLiteral("JOA\u0303O"), QStringLiteral("Joa\u0303o")},
        // Blanks at either end and empty texts.
        {" favor comparecer ao consultório 5", " favor comparecer ao consultório 5"},
        {"", ""},
        // Control characters other than line breaks and tabs would cut or garble the text.
        {QString("ANA") + QChar(0) + "SOUTO", "Ana Souto"},
        {"ANA\x01\x1F\x7FSOUTO\tX\n", "Ana   Souto\tX\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(naturalReading(c.text), c.expected) << c.text.toStdString();
}

TEST(NaturalReading, KeepsTheLengthAndEveryNonLetter) {
    const QString text = "AC*LUIS MOTA\r favor: (12) 3-4 DR. RX; Guichê 3!";
    const QString out = naturalReading(text);
    ASSERT_EQ(out.size(), text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLetter())
            EXPECT_EQ(out[i].toLower(), text[i].toLower()) << i;
        else
            EXPECT_EQ(out[i], text[i]) << i;
    }
}

} // namespace
