#pragma once

// A private sound server for tests and benchmarks that run the real program against PipeWire:
// its own runtime folder and session bus, the server, its session manager and its PulseAudio
// server, null sinks made on request, and recordings of what those sinks play. Nothing reaches
// the desktop's own server, and two sessions never meet. Everything ends with the object.
//
// The daemons run in process groups of their own, so that stopping them also stops whatever
// they started; every wait is polled and bounded.
#include "WavReader.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class TPipeWireSession {
public:
    TPipeWireSession();
    ~TPipeWireSession();
    TPipeWireSession(const TPipeWireSession&) = delete;
    TPipeWireSession& operator=(const TPipeWireSession&) = delete;

    // true while the server, the session manager and the PulseAudio server answer.
    bool Running() const { return FRunning; }
    // Why the last start or sink failed, with the daemons' own words; for failure messages.
    const QString& Error() const { return FError; }
    QString RuntimeDir() const { return FDir.path(); }

    // base with what a client of this server needs: the runtime folder (PipeWire's socket,
    // PulseAudio's under pulse/) and the session bus.
    QProcessEnvironment
    Environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Makes a null sink named `name` and waits until the session manager has set it up. The
    // sink with the highest priority is the default one, where the `pipewire` and `pulse` PCMs
    // play unless told otherwise; this waits until it is. The sinks are made again after a
    // restart. false when the sink did not appear (see Error).
    bool CreateSink(const QString& name, int priority = 1000);
    // The node name of the default sink; "" when there is none.
    QString DefaultSink() const;

    // Ends the server as a crash does (SIGKILL), and the daemons that depend on it as their
    // service manager would; returns when all of them are gone.
    void Kill();
    // Starts the daemons again after Kill and makes the sinks again; false when the server did
    // not become ready (see Error).
    bool Restart();

    // Runs a tool as a client of this server; its standard output, "" after a failure or when
    // it takes longer than timeoutMs.
    QString Run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) const;
    // Starts a program as a client of this server, in a process group of its own; false when it
    // did not start.
    bool Start(QProcess& process, const QString& program, const QStringList& arguments) const;

private:
    bool StartDaemons();
    bool StartDaemon(std::unique_ptr<QProcess>& process, const QString& program,
                     const QStringList& arguments);
    void StopDaemon(std::unique_ptr<QProcess>& process, int signal);
    bool MakeSink(const QString& name, int priority);
    bool WaitForDefaultSink();
    // Fails the session with what, and the daemons' logs.
    bool Fail(const QString& what);
    QString Logs() const;

    struct TSink {
        QString Name;
        int Priority;
    };
    QTemporaryDir FDir;
    QString FBusAddress;
    std::unique_ptr<QProcess> FBus, FPipeWire, FWirePlumber, FPulse;
    std::vector<TSink> FSinks;
    bool FRunning = false;
    QString FError;
};

// What one sink of a session plays, recorded from its monitor into a 16-bit stereo WAV file at
// 48 kHz as it comes: a test looks at the sound while it goes on. The recording's position
// advances with the sink's clock, silence included, so seconds in it are seconds of wall time
// from the moment it started. A recording ends when its server goes.
class TSinkRecording {
public:
    static constexpr unsigned Rate = 48000;

    TSinkRecording(const TPipeWireSession& session, const QString& sink, const QString& path);
    ~TSinkRecording();
    TSinkRecording(const TSinkRecording&) = delete;
    TSinkRecording& operator=(const TSinkRecording&) = delete;

    // Waits until the first sound (or silence) arrives; false when none came within timeoutMs.
    bool WaitStarted(int timeoutMs = 5000);
    // Milliseconds between the construction and the first data; -1 before WaitStarted succeeds.
    qint64 StartDelayMs() const { return FStartDelayMs; }
    // Seconds recorded so far.
    double Seconds() const;
    // Waits until at least `seconds` are recorded; false when the recording stopped growing or
    // timeoutMs passed first.
    bool WaitForSeconds(double seconds, int timeoutMs);
    // Waits until sound (not silence) is in the recording at or after `from` seconds; where it
    // begins, or -1 when it did not come within timeoutMs.
    double WaitForSound(double from, int timeoutMs);
    // Everything recorded so far.
    TWav Read() const;
    // Ends the recording (its file is complete afterwards).
    void Stop();

private:
    QString FPath;
    QProcess FRecorder;
    QElapsedTimer FSince;
    qint64 FStartDelayMs = -1;
};

// A WAV file that may still be written: a data chunk whose size is not filled in yet reaches to
// the end of the file, cut to whole frames.
TWav ReadGrowingWav(const QString& path);

// Analysis of 16-bit recordings; times in seconds from the recording's start, levels as a
// fraction of full scale. A stretch is silent when the RMS of each of its 10 ms blocks is below
// SilenceLevel (−40 dBFS): far below the sounds the tests play, far above any dither.
namespace SoundCheck {

constexpr double SilenceLevel = 0.01;
constexpr double BlockSeconds = 0.010;

double Seconds(const TWav& wav);
// RMS over all channels in [from, to); -1 when the span holds no samples.
double Rms(const TWav& wav, double from, double to);
// Where the first non-silent block at or after `from` begins; -1 when there is none.
double FirstSound(const TWav& wav, double from = 0);

struct TSilence {
    double Start = -1; // where the longest silent stretch begins, -1 for none
    double Length = 0; // its length
};
// The longest silent stretch within [from, to).
TSilence LongestSilence(const TWav& wav, double from, double to);

// Where the sound is back for good: the first block at or after `from` from which `hold`
// seconds follow with no silent stretch of maxGap or longer. -1 when there is none in the
// recording.
double SoundBack(const TWav& wav, double from, double hold = 1.0, double maxGap = 0.1);

// The dominant frequency of the first channel in [from, to), from its zero crossings; for a
// sine tone. A short gap in the sound does not change it.
double ZeroCrossingFrequency(const TWav& wav, double from, double to);

} // namespace SoundCheck
