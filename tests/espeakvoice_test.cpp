// The real espeak-ng voice: synthesis to samples, the reading of names in capitals, the errors
// when the voice data or the sound device is missing.

#include "calls/espeakvoice.h"
#include "calls/grammar.h"
#include "calls/voice.h"
#include "base/errors.h"
#include "tests/support/phonemes.h"
#include "tests/support/qtprint.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <gtest/gtest.h>
#include <iostream>

namespace {

// Phonemes without stress marks, clause separators and blanks, to compare what is said.
QString said(const QString& phonemes) {
    QString out = phonemes;
    out.remove(QRegularExpression(QStringLiteral("[',|# ]")));
    return out;
}


TEST(EspeakVoice, TypicalAnnouncementHasPlausibleLength) {
    EspeakVoice voice;
    const struct {
        QString text;
        double minSeconds, maxSeconds;
    } cases[] = {
        {"ANA SOUTO favor comparecer a Recepção, Guiche 1", 1.5, 8.0},
        {"Senha A 15, Guichê 3", 0.8, 5.0},
        {"LUIS MOTA\r favor comparecer a recepção", 1.0, 6.0},
    };
    for (const auto& c : cases) {
        const EspeakVoice::Samples s = voice.synthesizeToSamples(c.text);
        EXPECT_EQ(s.sampleRate, 22050);
        EXPECT_GE(s.seconds(), c.minSeconds) << c.text.toStdString();
        EXPECT_LE(s.seconds(), c.maxSeconds) << c.text.toStdString();
        // Speech, not silence: a good share of the samples is loud.
        std::size_t loud = 0;
        for (short v : s.data) loud += (v > 1000 || v < -1000);
        EXPECT_GT(loud, s.data.size() / 10) << c.text.toStdString();
    }
    EXPECT_EQ(voice.synthesizeToSamples("").seconds() < 0.1, true);
}

// The longest message a station can make the panel say, in each form, filled with what takes
// longest to say: the panel must not be held for a minute by one message.
TEST(EspeakVoice, TheLongestMessageIsSpokenInWellUnderAMinute) {
    EspeakVoice voice;
    const auto filled = [](const QString& prefix, const QString& unit) {
        QString text = prefix;
        while (text.size() < kMaxMessageChars) text += unit;
        return text.left(kMaxMessageChars);
    };
    const QString messages[] = {
        filled("MD*7", "999999999 "), filled("MD*7", "9"),       filled("MD*45", "9 "),
        filled("CR*1", "999999999 "), filled("RE*", "\u00c6 "), filled("AC*", "W "),
        filled("MD*7", "\u0152 "),   filled("0315", "999999999 "),
    };
    double longest = 0;
    for (const QString& message : messages) {
        const CallResult call = parseCall(message, 60, 40);
        const double seconds = voice.synthesizeToSamples(call.announcement).seconds();
        EXPECT_LT(seconds, 50.0) << message.toStdString();
        longest = std::max(longest, seconds);
    }
    std::cout << "longest announcement of a " << kMaxMessageChars << "-character message: " << longest << " s\n";
    // The bound is not so tight that it cuts real names: a long one is said whole.
    const QString name = QStringLiteral("MARIA APARECIDA DA CONCEIÇÃO DOS SANTOS OLIVEIRA DE ALBUQUERQUE CAVALCANTI");
    EXPECT_LE(QStringLiteral("MD*7").size() + name.size(), kMaxMessageChars);
}

TEST(EspeakVoice, NamesInCapitalsAreReadAsWords) {
    EspeakVoice voice;
    using R = EspeakVoice::Reading;
    const struct {
        QString capitals;
        QString spelled;  // the name's letters one by one
        QString lower;    // the name written in lower case
    } cases[] = {
        {"ANA favor comparecer a Recepção, Guiche 1", "A N A favor comparecer a Recepção, Guiche 1",
         "ana favor comparecer a Recepção, Guichê 1"},
        {"LIA favor comparecer a recepção", "L I A favor comparecer a recepção", "lia favor comparecer a recepção"},
    };
    for (const auto& c : cases) {
        const QString raw = said(voice.phonemes(c.capitals, R::AsGiven));
        const QString natural = said(voice.phonemes(c.capitals));
        // Given as they arrive, the capitals are spelled letter by letter...
        EXPECT_EQ(raw, said(voice.phonemes(c.spelled, R::AsGiven))) << c.capitals.toStdString();
        // ...and the voice reads them as the word.
        EXPECT_EQ(natural, said(voice.phonemes(c.lower, R::AsGiven))) << c.capitals.toStdString();
        EXPECT_NE(natural, raw);
    }
    // Spelling makes the call longer.
    const QString name = "ANA favor comparecer a Recepção";
    EXPECT_LT(voice.synthesizeToSamples(name).seconds() + 0.1,
              voice.synthesizeToSamples(name, R::AsGiven).seconds());
}

TEST(EspeakVoice, CounterCallsReadLetterAndNumbers) {
    EspeakVoice voice;
    using R = EspeakVoice::Reading;
    const QString call = said(voice.phonemes("Senha B 7, Guichê 12"));
    EXPECT_EQ(call, said(voice.phonemes("Senha bê sete, Guichê doze", R::AsGiven)));
    const QString call2 = said(voice.phonemes("Senha A 15, Guichê 3"));
    EXPECT_EQ(call2, said(voice.phonemes("Senha a quinze, Guichê três", R::AsGiven)));
}

// How the engine itself spells letters when it is told to read them as characters (its SSML
// reading), the reference for the letters of a ticket. Needs the engine started by a voice.
QString engineSpelling(const QString& letters) {
    const QByteArray ssml = "<say-as interpret-as=\"characters\">" + letters.toUtf8() + "</say-as>";
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* trace = open_memstream(&buffer, &size);
    espeak_SetPhonemeTrace(espeakPHONEMES_SHOW, trace);
    espeak_ng_Synthesize(ssml.constData(), std::size_t(ssml.size()) + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
    espeak_SetPhonemeTrace(0, nullptr);
    std::fclose(trace);
    const QString phonemes = QString::fromUtf8(buffer, qsizetype(size));
    std::free(buffer);
    return phonemes;
}

TEST(EspeakVoice, TheLettersOfATicketAreSpelled) {
    EspeakVoice voice;
    using R = EspeakVoice::Reading;
    const QString tail = sounds(voice.phonemes("15, Guichê 3", R::AsGiven));
    const QString head = sounds(voice.phonemes("Senha", R::AsGiven));
    // Letters that make a word ("AO", "EU", "OI"), single letters that are words ("E", "O"),
    // letters without a vowel, long and lower-case tickets.
    const QString tickets[] = {"A", "E", "O", "AE", "AO", "EU", "OI", "UE", "PR", "ABC", "MAR", "AEIOU", "ae", "Bo",
                              "ABCDEFGHIJKLM", "NOPQRSTUVWXYZ"};
    for (const QString& ticket : tickets) {
        voice.synthesizeToSamples(QString()); // the engine is set up for samples before it is used directly
        const QString expected = head + sounds(engineSpelling(ticket)) + tail;
        EXPECT_EQ(sounds(voice.phonemes("Senha " + ticket + " 15, Guichê 3")), expected) << ticket.toStdString();
    }
    // A name of the same letters is read as a word.
    EXPECT_EQ(sounds(voice.phonemes("AO favor comparecer ao consultório 7")),
              sounds(voice.phonemes("ao favor comparecer ao consultório 7", R::AsGiven)));
    EXPECT_EQ(sounds(voice.phonemes("EU favor comparecer a recepção")),
              sounds(voice.phonemes("eu favor comparecer a recepção", R::AsGiven)));
}

// A name in its private form is said as its first name and the letters of its initials, spelled
// as a ticket's letters are (an accent unsaid), with nothing of the words left out.
TEST(EspeakVoice, APrivateNameIsSaidAsItsFirstNameAndTheLettersOfItsInitials) {
    EspeakVoice voice;
    using R = EspeakVoice::Reading;
    const struct {
        QString message, first, letters, phrase;
    } cases[] = {
        {"MD*7MARIA APARECIDA DOS SANTOS OLIVEIRA", "MARIA", "ASO", " favor comparecer ao consultório 7"},
        // E and O alone are words ("e", "o"), not the letters, unless spelled.
        {"RE*JOSÉ EDUARDO DA SILVA OLIVEIRA", "JOSÉ", "ESO", " favor comparecer a recepção"},
        {"CR*2ANA ÚRSULA SOUZA-LIMA D'ÁVILA", "ANA", "USLD", " favor comparecer a sala de Classificação de Risco 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const QString announcement = parseCall(c.message, 36, 32, NameForm::Private).announcement;
        voice.synthesizeToSamples(QString()); // the engine is set up for samples before it is used directly
        const QString expected = sounds(voice.phonemes(c.first)) + sounds(engineSpelling(c.letters)) +
                                 sounds(voice.phonemes(c.phrase, R::AsGiven));
        EXPECT_EQ(sounds(voice.phonemes(announcement)), expected);
    }
}

TEST(EspeakVoice, CarriageReturnIsReadAsABreak) {
    EspeakVoice voice;
    EXPECT_EQ(said(voice.phonemes("LUIS MOTA\r favor comparecer a recepção")),
              said(voice.phonemes("Luis Mota favor comparecer a recepção", EspeakVoice::Reading::AsGiven)));
}

TEST(EspeakVoice, OneVoicePerAnnouncement) {
    // A new voice object for every announcement, as the receive cycle makes them.
    for (int i = 0; i < 3; ++i) {
        std::unique_ptr<IVoice> voice = createSpVoice();
        auto* espeak = dynamic_cast<EspeakVoice*>(voice.get());
        ASSERT_NE(espeak, nullptr);
        EXPECT_GT(espeak->synthesizeToSamples("ANA SOUTO favor comparecer a Recepção").seconds(), 1.0);
    }
}

void expectCreationError(const QString& dataPath, const QString& inMessage) {
    try {
        EspeakVoice voice(dataPath);
        FAIL() << "no error for " << dataPath.toStdString();
    } catch (const EVoiceError& e) {
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("Cannot create \"SAPI.SpVoice\": "))) << e.what();
        EXPECT_TRUE(e.text().contains(inMessage)) << e.what();
    }
}

// A copy of the engine's data folder (by links) without some of its files.
QString dataWithout(const TestDir& dir, const QString& name, const QStringList& left) {
    const QString source = EspeakVoice().dataFolder();
    const QString target = dir.file(name);
    QDir().mkpath(target + "/lang");
    for (const QString& entry : QDir(source).entryList(QDir::Files))
        if (!left.contains(entry)) QFile::link(source + "/" + entry, target + "/" + entry);
    for (const QString& family : QDir(source + "/lang").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir().mkpath(target + "/lang/" + family);
        for (const QString& entry : QDir(source + "/lang/" + family).entryList(QDir::Files))
            if (!left.contains(family + "/" + entry))
                QFile::link(source + "/lang/" + family + "/" + entry, target + "/lang/" + family + "/" + entry);
    }
    return target;
}

TEST(EspeakVoice, CreationFailsWhenTheDataIsMissing) {
    TestDir dir;
    QDir().mkpath(dir.file("empty"));
    expectCreationError(dir.file("empty"), "espeak-ng cannot start");
    expectCreationError(dir.file("empty"), "phontab");
    expectCreationError(dataWithout(dir, "nopt", {"roa/pt", "roa/pt-BR", "pt_dict"}), "\"pt-br\"");
    expectCreationError(dataWithout(dir, "nodict", {"pt_dict"}), "pt_dict is missing");
    // The engine starts again on its own data afterwards.
    EspeakVoice voice;
    EXPECT_GT(voice.synthesizeToSamples("ANA SOUTO").seconds(), 0.3);
}

TEST(EspeakVoice, SpeakTakesOnlyTheSynchronousFlags) {
    EspeakVoice voice;
    try {
        voice.Speak("ANA", 1);
        FAIL() << "no error";
    } catch (const EVoiceError& e) {
        EXPECT_TRUE(e.text().contains("flags 1")) << e.what();
    }
}

// Speaking sets up the process-wide sound output, so these run in a process of their own
// (a death test re-runs the test program for the statement). The child ends with _Exit: the
// sound library keeps a small allocation to the end, which a leak checker would report.
void speakTo(const char* device) {
    qputenv("PAINEL_AUDIO_DEVICE", device);
    try {
        std::unique_ptr<IVoice> voice = createSpVoice();
        voice->Speak("ANA SOUTO favor comparecer a Recepção, Guiche 1", 0);
        voice->Speak("Senha A 15, Guichê 3", 0);
        std::_Exit(0);
    } catch (const EVoiceError& e) {
        std::cerr << e.what() << std::endl;
        std::_Exit(3);
    }
}

TEST(EspeakVoiceDeathTest, SpeakWithoutSoundDeviceFails) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(speakTo("painel-no-such-device"), testing::ExitedWithCode(3),
                "\"SAPI.SpVoice\".Speak failed: no sound output device could be opened");
}

TEST(EspeakVoiceDeathTest, SpeakPlaysToTheSoundDevice) {
    // ALSA's null device takes the sound without a sound card.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(speakTo("null"), testing::ExitedWithCode(0), "");
}

// The engine synthesises to memory for speaking too: samples and speech mix in any order.
TEST(EspeakVoiceDeathTest, SamplesAfterSpeaking) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("PAINEL_AUDIO_DEVICE", "null");
            EspeakVoice voice;
            voice.Speak("Ana", 0);
            std::_Exit(voice.synthesizeToSamples("Ana").seconds() > 0.2 ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
