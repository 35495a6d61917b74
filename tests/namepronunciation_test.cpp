// How names are said: the spelling rules, the built-in list and the names that must not change,
// all through the phonemes the speech engine says.

#include "calls/destinations.h"
#include "calls/espeakvoice.h"
#include "calls/grammar.h"
#include "calls/lexicon.h"
#include "calls/namelist.h"
#include "calls/namerules.h"
#include "calls/naturalreading.h"
#include "calls/pronunciationfile.h"
#include "tests/support/phonemes.h"
#include "tests/support/qtprint.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

using R = EspeakVoice::Reading;
using namespace Qt::StringLiterals;

// How the panel read the name before names were respelled.
QString phonemesToday(EspeakVoice& voice, const QString& name) {
    return voice.phonemes(capitalisedName(name), R::AsGiven);
}

// Every rule of namerules.h with names that show it, as the engine says them now, and whether
// the engine misread the name before.
TEST(NamePronunciation, EveryRuleThroughThePhonemes) {
    EspeakVoice voice;
    const struct {
        QString name;
        QString said;
        bool misreadToday;
    } cases[] = {
        {"THIAGO", "tS,i;'agU", true},
        {"RUTH", "x'utSy", true},
        {"JUDITH", "Z,udZ'itSy", true},
        {"ELIZABETH", ",elizab'EtSy", true},
        {"STEPHANIE", "st'Ef&ni", true},
        {"SHIRLEY", "S'i*@-leI", true},
        {"SHARON", "S'a*oN", true},
        {"KEVIN", "k'Evin", true},
        {"KLEBER", "kl'Eber", true},
        {"KELY", "k'Eli", true},
        {"KETLYN", "k'Etlin", true},
        {"ERICK", "'E*iky", true},
        {"PATRICK", "p'atRiky", true},
        {"DERICK", "d'E*iky", true},
        {"FRANK", "fR'&~Nky", true},
        {"MARK", "m'a*@-ky", true},
        {"RIGHI", "x'igi", true},
        {"JHENNIFER", "dZ'enifer", true},
        {"RHUAN", "xu'&~N", true},
        {"DHIEGO", "dZ,i;'egU", true},
        {"SARAH", "s'a*&", true},
        {"HANNAH", "'&~n&", true},
        {"NOAH", "n'o&", true},
        {"DYEGO", "dZ,i;'egU", true},
        {"YGOR", "'igor", true},
        {"MUÑOZ", "mu~n^'Os", true},
        {"WALTER", "w'aUter", true},
        {"WILLIAM", "w'ili;&U~", true},
        {"WILLIAN", "w'ili;&~N", true},
        {"WESLEY", "w'EzleI", true},
        {"EDWIN", "'Edwin", true},
        {"ALLAN", "'al&~N", true},
        {"GIOVANNA", "Z,i;ov'&~n&", true},
        {"LUCCA", "l'uk&", true},
        {"REBECCA", "x,eb'Ek&", true},
        {"ZANETTI", "z,&n'EtSi", true},
        {"KELLY", "k'Eli", false},
        {"MILLENA", "m,il'en&", false},
        {"NATALIE", "n,at'ali", true},
        {"JULIE", "Z'uli", true},
        {"MELANIE", "m,el'&~ni", true},
        {"SIDNEY", "s'idneI", true},
        {"STANLEY", "st'&~NleI", true},
        {"RODNEY", "x'OdneI", true},
        {"ASHLEY", "'aSleI", true},
        {"MICHAEL", "m'aIkow", true},
        {"MYCHAEL", "m'aIkow", true},
        {"JEFFERSON", "Z'Efe*@-soN", true},
        {"CLEBERSON", "kl'Ebe*@-soN", true},
        {"ALISSON", "'alisoN", true},
        {"PETERSON", "p'Ete*@-soN", true},
        {"MAICON", "m'aIkoN", true},
        {"MAYCON", "m'aIkoN", true},
        {"CLEITON", "kl'EItoN", true},
        {"CLAYTON", "kl'aItoN", true},
        {"EVERTON", "'Eve*@-toN", true},
        {"EDSON", "'EdsoN", false},
        {"ROBSON", "x'ObsoN", false},
        {"NELSON", "n'EUsoN", false},
        {"ADILSON", ",adZ'iUsoN", false},
        {"NILTON", "n'iUtoN", false},
        {"AIRTON", ",a'i*@-toN", false},
        {"JEISON", "Z'eIzoN", false},
        {"FRANKLIN", "fR'&~Nklin", true},
        {"EDWARD", "'Edw&*@-dZy", true},
        {"KAUÃ", "kaU'&~", false},
        {"THAÍS", "ta'is", false},
        {"YURI", "j'u*i", true},
        // The English j before "oh", and the English "a" between a consonant and a final "e" in
        // one syllable with English letters; not in names of Portuguese letters.
        {"JOHNSON", "dZ'oNsoN", true},
        {"JOHNY", "dZ'oni", true},
        {"KATE", "k'eItSy", true},
        {"SHANE", "S'eIny", true},
        {"BLAKE", "bl'eIky", true},
        {"JAKE", "dZ'eIky", true},
        {"JOHANA", "Z,o'&~n&", false},
        {"JADE", "Z'adZy", false},
        {"JANE", "Z'&~ny", false},
        {"VALE", "v'aly", false},
        {"PRATES", "pR'atSys", false},
        // "-el" after English letters and "-er" after borrowed ones keep the stress before them;
        // the French and Portuguese "-el" keeps its own.
        {"WENDEL", "w'eINdEU", true},
        {"WENDELL", "w'eINdEU", true},
        {"MAYKEL", "m'aIkEU", true},
        {"MITCHELL", "m'itSEU", true},
        {"CHRISTOPHER", "kR,ist'Ofer", true},
        {"LUTHER", "l'uter", true},
        {"MICHEL", "miS'EU", false},
        {"ABEL", "ab'EU", false},
        {"JARDEL", "Za*@-d'EU", false},
        {"KALEL", "kal'EU", false},
        {"MAXWELL", "masw'El", false},
        {"ISABELL", ",izab'El", false},
        {"VALTER", "v'aUter", false},
        // English "-y" names of three syllables stressed on the first; the Brazilian ones on the
        // syllable before the "y".
        {"BEVERLY", "b'Eve*@-li", true},
        {"KIMBERLY", "k'imbe*@-li", true},
        {"GREGORY", "gR'Ego*i", true},
        {"MELODY", "m'ElodZi", true},
        {"DOROTHY", "d'O*otSi", true},
        {"HILARY", "'il&*i", true},
        {"EMILY", ",em'ili", false},
        {"SIMONY", "s,im'oni", false},
        {"NOEMI", "n,oem'i", false},
        {"ROSEMARY", "x,ozem'a*i", false},
        {"KAUANY", "k,aU'&~ni", false},
        // "St" and a vowel: the stress on the syllable after it.
        {"STEFAN", "st'Ef&~N", true},
        {"STEFANI", "st'Ef&ni", true},
        {"STHEFANY", "st'Ef&ni", true},
        {"STEFANO", "st'Ef&nU", true},
        {"STENIO", "st'enjU", true},
        {"STELA", "st'El&", false},
        {"STELLA", "st'El&", false},
        // "-on" in two syllables, and the glide of "-son" after a diphthong that consonants close.
        {"MARLON", "m'a*@-loN", true},
        {"BRANDON", "bR'&~NdoN", true},
        {"GLEIDSON", "gl'eIdsoN", true},
        {"DEIVSON", "d'eIvsoN", true},
        {"GLEISON", "gl'eIzoN", false},
        {"RAILSON", "x,a'iUsoN", false},
    };
    for (const auto& c : cases) {
        const QString said = voice.phonemes(c.name);
        EXPECT_EQ(said, c.said) << c.name.toStdString();
        if (c.misreadToday) EXPECT_NE(phonemesToday(voice, c.name), said) << c.name.toStdString();
        else EXPECT_EQ(phonemesToday(voice, c.name), said) << c.name.toStdString();
    }
}

// Names of the built-in list as people say them.
TEST(NamePronunciation, NamesOfTheListAsPeopleSayThem) {
    EspeakVoice voice;
    const struct {
        QString name;
        QString said;
    } cases[] = {
        {"JENNIFER", "dZ'enifer"},
        {"JACKSON", "dZ'EkisoN"},
        {"JOHNNY", "dZ'Oni"},
        {"JONATHAN", "dZ'on&t&~N"},
        {"WASHINGTON", "w'OSiNtoN"},
        {"WAGNER", "v'agner"},
        {"WANDERLEY", "v,&~Nde*@-l'eI"},
        {"TAYLOR", "t'eIlo*"},
        {"RYAN", "x'aI;&~N"},
        {"BRYAN", "bR'aI;&~N"},
        {"YASMIN", "jazm'iN"},
        {"PETER", "p'iter"},
        {"IGOR", "'igor"},
        {"HIGOR", "'igor"},
        {"DEIVID", "d'eIvidZi"},
        {"HUDSON", "x'udsoN"},
        {"JEAN", "Zi;'&~"},
        {"NICOLAS", "n'ikol&s"},
        {"EMMANUEL", ",em&nu'EU"},
        {"MATTEO", "m,at'EU"},
        {"SCHMIDT", "Sm'itSi"},
        {"SCHNEIDER", "Sn'aIder"},
        {"HOFFMANN", "x'Ofm&~N"},
        {"MEYER", "m'aI;Er"},
        {"KHALIL", "kal'iU"},
        {"JOSE", "Zoz'E"},
        {"JOAO", "Zo'&U~"},
        {"ANTONIO", ",&~Nt'onjU"},
        {"MARCIA", "m'a*@-sj&"},
        {"PATRICIA", "p,atR'isj&"},
        {"VITORIA", "v,it'O*j&"},
        {"CONCEICAO", "k,oNseIs'&U~"},
        {"GONCALVES", "g,oNs'aUvys"},
        {"ARAUJO", ",a*a'uZU"},
        {"DEBORA", "d'Ebo*&"},
        {"INGRID", "'iNgRid"},
        {"ESTHER", "est'Er"},
        {"CLEBER", "kl'Eber"},
        {"ALEXANDER", ",aleks'&~Nder"},
        {"JUNIOR", "Z'uni;or"},
        {"JAMES", "dZ'eImys"},
        {"GEORGE", "dZ'O*@-dZi"},
        {"JEREMY", "dZ'E*imi"},
        {"WAYNE", "w'eIni"},
        {"LINCOLN", "l'iNkown"},
        {"THEO", "t'EU"},
        {"ICARO", "'ik&*U"},
        {"VICTORIA", "v,it'O*j&"},
    };
    for (const auto& c : cases) EXPECT_EQ(voice.phonemes(c.name), c.said) << c.name.toStdString();
}

TEST(NamePronunciation, TheBuiltInListIsLargeWellFormedAndReached) {
    const auto entries = builtinNameEntries();
    EXPECT_GE(entries.size(), 200u);
    QSet<QString> spellings;
    for (const NameEntry& e : entries) {
        const QString spelling = QString::fromUtf16(e.spelling);
        const QString said = QString::fromUtf16(e.said);
        SCOPED_TRACE(spelling.toStdString());
        EXPECT_TRUE(isOneWord(spelling));
        EXPECT_EQ(saidFormProblem(said), QString());
        EXPECT_FALSE(spellings.contains(spelling.toCaseFolded())) << "twice in the list";
        spellings.insert(spelling.toCaseFolded());
        // Found in capitals, as stations send names, and as written.
        EXPECT_EQ(naturalReading(spelling.toUpper()), said);
        EXPECT_EQ(naturalReading(spelling), said);
    }
}

// An entry is in the list because the rules alone would have the name said otherwise.
TEST(NamePronunciation, EveryEntryOfTheListChangesHowTheNameIsSaid) {
    EspeakVoice voice;
    for (const NameEntry& e : builtinNameEntries()) {
        const QString spelling = QString::fromUtf16(e.spelling);
        const std::optional<QString> byRules = respelledName(spelling);
        const QString withoutList = byRules ? capitalisedName(*byRules) : capitalisedName(spelling);
        EXPECT_NE(voice.phonemes(QString::fromUtf16(e.said), R::AsGiven), voice.phonemes(withoutList, R::AsGiven))
            << spelling.toStdString();
    }
}

// Common names that the engine reads right as they are must be said exactly as before.
TEST(NamePronunciation, CommonNamesReadRightTodayDoNotChange) {
    const QStringList names = QStringLiteral(R"(
    Maria José Ana João Antônio Francisco Carlos Paulo Pedro Lucas Luiz Marcos Luís Gabriel Rafael
    Daniel Marcelo Bruno Eduardo Felipe Raimundo Rodrigo Manoel Mateus André Fernando Fábio Leonardo
    Gustavo Guilherme Leandro Tiago Ricardo Jorge Alexandre Roberto Sebastião Márcio Sérgio Diego
    Vinícius Henrique Júlio Cláudio Renato Joaquim Adriano Vítor Caio Davi Samuel Murilo Heitor
    Bernardo Miguel Lorenzo Enzo Valentina Helena Alice Laura Manuela Sofia Isabela Luiza Lívia Giovana
    Beatriz Mariana Larissa Camila Amanda Bruna Letícia Jéssica Vanessa Patrícia Aline Juliana Fernanda
    Adriana Sandra Cristina Francisca Antônia Raimunda Luciana Daniela Simone Márcia Rosângela Tatiana
    Renata Débora Bianca Carolina Gabriela Rafaela Natália Raquel Sabrina Priscila Carla Paula Vera
    Sônia Regina Elaine Eliane Cláudia Denise Rita Lúcia Teresa Rosa Joana Rosana Silvana Viviane
    Cecília Clara Heloísa Lara Melissa Yara Luana Lorena Vitória Eduarda Emanuelly Sara Rebeca Ágata
    Catarina Marina Olívia Nicole Isadora Stella Milena Júlia Caroline Lorraine Pietra Gabrielle
    Mirella Benício Théo Bento Vicente Otávio Pietro Levi Ravi Emanuel Benjamin Rodolfo Wagner Valter
    Valdir Valmir Vanderlei Osvaldo Sílvio Gilberto Edson Nelson Wilson Gilson Adilson Edilson Nilton
    Milton Elton Ailton Airton Denílson Robson Douglas Rogério Alessandro Everaldo Ronaldo Reinaldo
    Geraldo Arnaldo Aldo Hugo Mário Álvaro Artur César Ivan Ítalo Jonas Josué Moisés Abraão Elias
    Ezequiel Ismael Natanael Gerson Cristiano Juliano Luciano Mauro Fabiano Silvano Renan Ruan Luan
    Kauã Cauã Iago Thaís Taís Laís Raíssa Maísa Gisele Michele Daiane Rayane Tainá Kelly Kátia Karina
    Karen Érica Flávia Fabiana Elisa Luísa Alícia Eloá Valquíria Zuleica Neide Cleide Aparecida
    Conceição Socorro Fátima Graça Lourdes Luzia Terezinha Benedita Sebastiana Joaquina Madalena Irene
    Ivone Odete Marlene Rosemeire Rosimeire Vilma Zilda Zélia Nair Dalva Dora Eva Inês Iracema Jandira
    Judite Marta Noêmia Olga Pâmela Regiane Roseli Solange Tânia Valéria Vânia Zenaide Silva Santos
    Oliveira Souza Sousa Rodrigues Ferreira Alves Pereira Lima Gomes Costa Ribeiro Martins Carvalho
    Almeida Lopes Soares Fernandes Vieira Barbosa Rocha Dias Nascimento Andrade Moreira Nunes Marques
    Machado Mendes Freitas Cardoso Ramos Gonçalves Santana Teixeira Araújo Cavalcanti Monteiro Moura
    Correia Pinto Campos Batista Cunha Reis Melo Mello Castro Borges Azevedo Pires Medeiros Sales
    Fonseca Farias Xavier Mendonça Miranda Barros Pinheiro Freire Guimarães Nogueira Siqueira Brito
    Coelho Queiroz Tavares Macedo Leite Amaral Matos Mattos Bezerra Cruz Duarte Vasconcelos Morais
    Magalhães Lacerda Bastos Figueiredo Paiva Sampaio Peixoto Aguiar Assis Jesus Bueno Prado Toledo
    Rezende Fontes Pacheco Brandão Falcão Leão Aragão Galvão Barreto Rangel Viana Valente Torres Serra
    Lobo Maciel Moraes Caldeira Cordeiro Coutinho Damasceno Estevão Fagundes Fraga Franco Garcia Gusmão
    Holanda Jardim Leal Lemos Lins Loureiro Magno Marinho Meireles Mesquita Mota Neves Novaes Oliva
    Pedrosa Portela Quintela Rabelo Resende Rios Sá Salgado Sena Simões Teles Trindade Valadares Vargas
    Veloso Vilela Brum Pontes Muniz Calado Chaves Dantas Diniz Domingues Feitosa Frota Goulart Guerra
    Kuhn Lustosa Maia Manso Nóbrega Pimentel Queiroga Ramalho Sobral Uchoa Vidal
    Jade Jane Jaime Jayme Jaqueline Jackeline Jeison Joana Johana Janete Janaína Jordana Joice Deise
    Gleison Vale Lage Prates Tales Thales Michel Rachel Abel Isabel Jardel Maxuel Ester Cléber Éder
    Júnior Estela Stela Stênio Estevam Estefânia Gilmar Edmar Noemi Simony Dalila Glória
)").split(QChar(u' '), Qt::SkipEmptyParts);
    EXPECT_GE(names.size(), 400);
    EspeakVoice voice;
    for (const QString& name : names) {
        EXPECT_EQ(voice.phonemes(name.toUpper()), phonemesToday(voice, name)) << name.toStdString();
    }
}


// The panel's own phrases are said as before, but for three words the destination table writes
// without their accents, which the engine would stress wrongly.
TEST(NamePronunciation, ThePhrasesAreSaidAsBeforeButForWordsWrittenWithoutAccents) {
    EspeakVoice voice;
    QStringList announcements;
    for (const Destination& d : destinationTable())
        announcements << parseCall(QStringLiteral("MD*%1ANA SOUTO").arg(d.code), 36, 32).announcement;
    for (const QString& message : {u"MD*7ANA SOUTO"_s, u"MD*12ANA SOUTO"_s, u"CR*2ANA SOUTO"_s, u"CR*ANA SOUTO"_s,
                                   u"AC*ANA SOUTO"_s, u"RE*ANA SOUTO"_s, u"03015A"_s})
        announcements << parseCall(message, 36, 32).announcement;
    const struct {
        QString written, said;
    } accented[] = {{"Guiche", "Guichê"}, {"Pediatrica", "Pediátrica"}, {"Otoneurologico", "Otoneurológico"}};
    int fixed = 0;
    for (const QString& announcement : announcements) {
        // The engine was given the name with an initial capital and the rest as written.
        QString before = announcement;
        before.replace(u"ANA SOUTO"_s, u"Ana Souto"_s);
        before.replace(u"ELETROCARDIOGRAMA"_s, u"Eletrocardiograma"_s);
        before.replace(u"PRONTO ATENDIMENTO"_s, u"Pronto Atendimento"_s);
        QString expected = before;
        for (const auto& a : accented) expected.replace(a.written, a.said);
        if (expected != before) {
            ++fixed;
            EXPECT_NE(voice.phonemes(before, R::AsGiven), voice.phonemes(expected, R::AsGiven));
        }
        if (announcement.startsWith(u"Senha "_s)) expected.replace(u"Senha A"_s, u"Senha [['a]]"_s);
        EXPECT_EQ(voice.phonemes(announcement), voice.phonemes(expected, R::AsGiven)) << announcement.toStdString();
    }
    EXPECT_EQ(fixed, 7); // five reception counters, two examinations
}

// The clinic's own entries win over the list and the rules, match whole words in any case, and
// may name single letters and abbreviations; a ticket's letters stay spelled.
TEST(NamePronunciation, TheClinicsEntriesWinAndMatchWholeWordsInAnyCase) {
    EspeakVoice voice;
    Lexicon clinic;
    clinic.add(u"jennifer", QStringLiteral("Jenifer"));           // over the list
    clinic.add(u"Thiago", QStringLiteral("[[t'i;agU]]"));          // over the rules
    clinic.add(u"SOUTO", QStringLiteral("Souto Maior"));          // a respelling of two words
    clinic.add(u"RX", QStringLiteral("érre xis"));                // an abbreviation
    clinic.add(u"E", QStringLiteral("é"));                        // a single letter
    clinic.add(u"CONCEIÇÃO", QStringLiteral("Conceissão"));
    setClinicLexicon(clinic);
    const struct {
        QString text, as;
    } cases[] = {
        {"JENNIFER favor comparecer a recepção", "Jenifer favor comparecer a recepção"},
        {"thiago e ana", "[[t'i;agU]] é ana"},
        {"ANA SOUTO, SOUTOS", "Ana Souto Maior, Soutos"},
        {"MARIA favor comparecer a Sala do RX", "Maria favor comparecer a Sala do érre xis"},
        {QStringLiteral("MARIA DA CONCEIC\u0327A\u0303O"), "Maria da Conceissão"},
        {"Senha E 1, Guichê 2", "Senha [['E]] 1, Guichê 2"},
    };
    for (const auto& c : cases) EXPECT_EQ(voice.phonemes(c.text), voice.phonemes(c.as, R::AsGiven)) << c.text.toStdString();
    // Without the clinic's entries the list and the rules speak again.
    setClinicLexicon({});
    EXPECT_EQ(voice.phonemes("JENNIFER"), voice.phonemes("Djênifer", R::AsGiven));
    EXPECT_EQ(sounds(voice.phonemes("THIAGO")), sounds(voice.phonemes("Tiago", R::AsGiven)));
}

} // namespace
