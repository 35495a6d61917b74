#pragma once
// The waiting room for the audio tests: the PulseAudio server that tools/test.sh starts
// (tests/support/pulseserver.sh), a null sink of the test's own in it, and a recording of that
// sink's monitor in which every sample has its time on the steady clock.

#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// Seconds on the steady clock, the time base of the recordings.
double steadySeconds();

// The runtime folder of the test server (PAINEL_PULSE_RUNTIME) when the server answers; empty
// otherwise, with the reason in why.
QString pulseRuntime(QString* why = nullptr);

// The server's null sink "hall", the default sink, where the panel's chime (GStreamer's audio
// sink takes the default) and its speech (espeak-ng takes the default) both go. One
// test at a time uses it (the audio tests hold a ctest resource lock).
class HallSink {
public:
    explicit HallSink(QString runtime) : m_runtime(std::move(runtime)) {}

    const QString& name() const { return m_name; }
    const QString& runtime() const { return m_runtime; }
    // The latency the server reports for the sink ("Latency: ... usec, configured ... usec"),
    // and the configured part in seconds: how far ahead of the sink's clock it renders.
    QString latencyLine() const;
    double configuredLatency() const;
    // The environment that makes a program play into this sink.
    QStringList environment(QStringList base) const;

private:
    QString m_runtime;
    QString m_name = QStringLiteral("hall");
};

// Records the sink's monitor (parec, 16-bit mono at kRate) on a thread of its own, so that a
// busy test loses nothing. The time of a sample is the arrival time of a reading less the samples
// between, taken at the reading within the next second where that comes out earliest, plus the
// sink's configured latency: the sink renders (and its monitor delivers) that much ahead of
// playing.
class HallRecording {
public:
    static constexpr int kRate = 16000;

    explicit HallRecording(const HallSink& sink);
    ~HallRecording();
    HallRecording(const HallRecording&) = delete;
    HallRecording& operator=(const HallRecording&) = delete;

    // Waits until samples flow (the null sink starts its monitor late); false, with the reason,
    // when none came within the time.
    bool waitFlowing(double seconds, QString* why);

    std::vector<short> samples() const;
    // Steady-clock time at which the sink played the sample `secondsIntoRecording` into the
    // recording. It is taken from the arrival of the reads around that sample, not counted from
    // the first one: a recording that loses samples on a busy machine (a stream overrun) would
    // otherwise place every later sound too early, by all it has lost.
    double timeOf(double secondsIntoRecording) const;
    double secondsRecorded() const;

private:
    void read();

    int m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::vector<short> m_samples;
    // For each read: the count of samples recorded at its end, and when it arrived.
    struct Anchor {
        std::size_t samples;
        double arrival;
    };
    std::vector<Anchor> m_anchors;
    double m_renderAhead = 0;
    const HallSink& m_sink;
    std::atomic<bool> m_stop = false;
    QString m_error;
};
