#include "PipeWireSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int PollMs = 50;
constexpr int ReadyTimeoutMs = 10000;

// Lets the caller's event loop run for about ms: a program under test that writes much to a
// pipe the caller reads through QProcess must not block on a full pipe while we wait.
void ServeEvents(int ms) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    } while (timer.elapsed() < ms);
}

// Polls done() until it holds or timeoutMs pass; done() once more at the end.
template <typename TDone> bool PollUntil(TDone done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (done())
            return true;
        ServeEvents(PollMs);
    }
    return done();
}

// The child leads a session of its own, so that a signal to its process group reaches
// everything it starts and nothing of the test's; and it ends with the test, should the test
// itself be killed before it could stop it.
void OwnProcessGroup(QProcess& process) {
    process.setChildProcessModifier([] {
        setsid();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
}

// Signals the process group a process leads, then waits for it; SIGKILL when it does not end
// within a few seconds.
void StopGroup(QProcess& process, int signal) {
    if (process.state() == QProcess::NotRunning)
        return;
    const pid_t group = pid_t(process.processId());
    if (group > 0)
        ::kill(-group, signal);
    if (!process.waitForFinished(3000) && group > 0) {
        ::kill(-group, SIGKILL);
        process.waitForFinished(3000);
    }
}

// Runs a tool to its end; false when it did not start, failed, or took longer than timeoutMs.
bool RunTool(const QProcessEnvironment& environment, const QString& program,
             const QStringList& arguments, int timeoutMs, QString* output = nullptr) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    OwnProcessGroup(process);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        StopGroup(process, SIGKILL);
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// true when something accepts connections on the Unix socket at path.
bool Accepts(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool accepted =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return accepted;
}

// The offset of the data chunk's samples in a WAV file that may still grow, and the size its
// header gives (0 while the writer has not filled it in); -1 when there is no data chunk yet.
struct TDataChunk {
    qsizetype Offset = -1;
    quint32 Size = 0;
    unsigned Channels = 0, Rate = 0, Bits = 0;
};

TDataChunk FindDataChunk(const QByteArray& head) {
    TDataChunk chunk;
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return chunk;
    for (qsizetype at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const auto size = qFromLittleEndian<quint32>(head.constData() + at + 4);
        if (id == "fmt " && at + 8 + 16 <= head.size()) {
            chunk.Channels = qFromLittleEndian<quint16>(head.constData() + at + 8 + 2);
            chunk.Rate = qFromLittleEndian<quint32>(head.constData() + at + 8 + 4);
            chunk.Bits = qFromLittleEndian<quint16>(head.constData() + at + 8 + 14);
        } else if (id == "data") {
            chunk.Offset = at + 8;
            chunk.Size = size;
            return chunk;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return chunk;
}

qsizetype FrameBytes(unsigned channels, unsigned bits) {
    return qsizetype(std::max(1u, channels * bits / 8));
}

} // namespace

// ---- the session ----------------------------------------------------------------------------

TPipeWireSession::TPipeWireSession() {
    if (!FDir.isValid()) {
        Fail(QStringLiteral("no temporary folder"));
        return;
    }
    // QTemporaryDir makes the folder for its owner only, as a runtime folder must be.
    QDir(FDir.path()).mkpath(QStringLiteral("logs"));
    FBus = std::make_unique<QProcess>();
    const QString addressFile = FDir.filePath(QStringLiteral("bus-address"));
    FBus->setStandardOutputFile(addressFile);
    FBus->setStandardErrorFile(FDir.filePath(QStringLiteral("logs/dbus-daemon.log")));
    OwnProcessGroup(*FBus);
    FBus->start(QStringLiteral("dbus-daemon"),
                {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!FBus->waitForStarted(ReadyTimeoutMs)) {
        Fail(QStringLiteral("dbus-daemon did not start"));
        return;
    }
    const bool addressed = PollUntil(
        [&] {
            QFile file(addressFile);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = file.readAll();
            if (!text.contains('\n'))
                return false;
            FBusAddress = QString::fromUtf8(text.left(text.indexOf('\n'))).trimmed();
            return !FBusAddress.isEmpty();
        },
        ReadyTimeoutMs);
    if (!addressed) {
        Fail(QStringLiteral("dbus-daemon gave no address"));
        return;
    }
    FRunning = StartDaemons();
}

TPipeWireSession::~TPipeWireSession() {
    // The dependants first, so that none of them sees its server go and complains.
    StopDaemon(FPulse, SIGTERM);
    StopDaemon(FWirePlumber, SIGTERM);
    StopDaemon(FPipeWire, SIGTERM);
    StopDaemon(FBus, SIGTERM);
}

QProcessEnvironment TPipeWireSession::Environment(QProcessEnvironment base) const {
    // A server named elsewhere would take precedence over the runtime folder.
    base.remove(QStringLiteral("PIPEWIRE_REMOTE"));
    base.remove(QStringLiteral("PULSE_SERVER"));
    base.insert(QStringLiteral("XDG_RUNTIME_DIR"), FDir.path());
    base.insert(QStringLiteral("PIPEWIRE_RUNTIME_DIR"), FDir.path());
    base.insert(QStringLiteral("PULSE_RUNTIME_PATH"), FDir.filePath(QStringLiteral("pulse")));
    base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBusAddress);
    return base;
}

QString TPipeWireSession::Run(const QString& program, const QStringList& arguments,
                              int timeoutMs) const {
    QString output;
    return RunTool(Environment(), program, arguments, timeoutMs, &output) ? output : QString();
}

bool TPipeWireSession::Start(QProcess& process, const QString& program,
                             const QStringList& arguments) const {
    process.setProcessEnvironment(Environment());
    OwnProcessGroup(process);
    process.start(program, arguments);
    return process.waitForStarted();
}

bool TPipeWireSession::StartDaemon(std::unique_ptr<QProcess>& process, const QString& program,
                                   const QStringList& arguments) {
    QProcessEnvironment environment = Environment();
    // The daemons keep their state (default devices, volumes) and read their user settings
    // under these folders: the session's own, so the user's never apply and nothing is left.
    for (const char* variable :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.insert(QString::fromLatin1(variable),
                           FDir.filePath(QStringLiteral("home/") + QLatin1String(variable)));
    // Nothing of the server reaches a display (the X11 bell module, for one).
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(FDir.filePath(QStringLiteral("logs/%1.log").arg(program)),
                                   QIODevice::Append);
    OwnProcessGroup(*process);
    process->start(program, arguments);
    return process->waitForStarted(ReadyTimeoutMs) ||
           Fail(program + QStringLiteral(" did not start"));
}

void TPipeWireSession::StopDaemon(std::unique_ptr<QProcess>& process, int signal) {
    if (process)
        StopGroup(*process, signal);
    process.reset();
}

bool TPipeWireSession::StartDaemons() {
    const QProcessEnvironment environment = Environment();
    const auto alive = [](const std::unique_ptr<QProcess>& process) {
        return process && process->state() == QProcess::Running;
    };

    if (!StartDaemon(FPipeWire, QStringLiteral("pipewire"), {}))
        return false;
    if (!PollUntil(
            [&] {
                return !alive(FPipeWire) ||
                       RunTool(environment, QStringLiteral("pw-cli"), {"info", "0"}, 2000);
            },
            ReadyTimeoutMs) ||
        !alive(FPipeWire))
        return Fail(QStringLiteral("pipewire does not answer"));

    // The session manager is ready when it has published the default devices' metadata,
    // which it does once its policy runs.
    if (!StartDaemon(FWirePlumber, QStringLiteral("wireplumber"), {}))
        return false;
    if (!PollUntil(
            [&] {
                QString objects;
                return !alive(FWirePlumber) ||
                       (RunTool(environment, QStringLiteral("pw-cli"), {"ls", "Metadata"}, 2000,
                                &objects) &&
                        objects.contains(QStringLiteral("metadata.name = \"default\"")));
            },
            ReadyTimeoutMs) ||
        !alive(FWirePlumber))
        return Fail(QStringLiteral("wireplumber did not set up the session"));

    if (!StartDaemon(FPulse, QStringLiteral("pipewire-pulse"), {}))
        return false;
    const QString pulseSocket = FDir.filePath(QStringLiteral("pulse/native"));
    if (!PollUntil([&] { return !alive(FPulse) || Accepts(pulseSocket); }, ReadyTimeoutMs) ||
        !alive(FPulse))
        return Fail(QStringLiteral("pipewire-pulse does not accept connections"));
    return true;
}

bool TPipeWireSession::CreateSink(const QString& name, int priority) {
    if (!FRunning)
        return false;
    FSinks.push_back({name, priority});
    return MakeSink(name, priority) && WaitForDefaultSink();
}

bool TPipeWireSession::MakeSink(const QString& name, int priority) {
    // object.linger keeps the node after pw-cli, which made it, has gone.
    const QString properties =
        QStringLiteral("{ factory.name=support.null-audio-sink node.name=\"%1\" "
                       "node.description=\"%1\" media.class=Audio/Sink object.linger=true "
                       "audio.position=[FL FR] priority.session=%2 }")
            .arg(name)
            .arg(priority);
    if (!RunTool(Environment(), QStringLiteral("pw-cli"), {"create-node", "adapter", properties},
                 ReadyTimeoutMs))
        return Fail(QStringLiteral("pw-cli could not make the sink ") + name);
    // The sink can be played to and recorded once the session manager has configured its
    // ports: both sides are listed then.
    const auto listed = [&](const char* option, const QString& port) {
        QString ports;
        return RunTool(Environment(), QStringLiteral("pw-link"), {QString::fromLatin1(option)},
                       2000, &ports) &&
               ports.split('\n').contains(name + ':' + port);
    };
    if (!PollUntil([&] { return listed("-i", "playback_FL") && listed("-o", "monitor_FL"); },
                   ReadyTimeoutMs))
        return Fail(QStringLiteral("the sink %1 has no ports").arg(name));
    return true;
}

bool TPipeWireSession::WaitForDefaultSink() {
    if (FSinks.empty())
        return true;
    const TSink& first =
        *std::max_element(FSinks.begin(), FSinks.end(),
                          [](const TSink& a, const TSink& b) { return a.Priority < b.Priority; });
    if (!PollUntil([&] { return DefaultSink() == first.Name; }, ReadyTimeoutMs))
        return Fail(
            QStringLiteral("the default sink is \"%1\", not %2").arg(DefaultSink(), first.Name));
    return true;
}

QString TPipeWireSession::DefaultSink() const {
    // Lines such as `  * node.name = "name"`.
    for (const QString& line :
         Run(QStringLiteral("wpctl"), {"inspect", "@DEFAULT_AUDIO_SINK@"}, 2000).split('\n')) {
        const qsizetype at = line.indexOf(QStringLiteral("node.name = \""));
        if (at >= 0) {
            const qsizetype start = at + 13;
            return line.mid(start, line.indexOf('"', start) - start);
        }
    }
    return {};
}

void TPipeWireSession::Kill() {
    FRunning = false;
    StopDaemon(FPipeWire, SIGKILL);
    StopDaemon(FWirePlumber, SIGTERM);
    StopDaemon(FPulse, SIGTERM);
}

bool TPipeWireSession::Restart() {
    Kill();
    FError.clear();
    FRunning = StartDaemons();
    for (const TSink& sink : FSinks)
        FRunning = FRunning && MakeSink(sink.Name, sink.Priority);
    FRunning = FRunning && WaitForDefaultSink();
    return FRunning;
}

bool TPipeWireSession::Fail(const QString& what) {
    FRunning = false;
    FError = what + QStringLiteral("\n") + Logs();
    return false;
}

QString TPipeWireSession::Logs() const {
    QString text;
    for (const QFileInfo& log :
         QDir(FDir.filePath(QStringLiteral("logs"))).entryInfoList({"*.log"}, QDir::Files)) {
        QFile file(log.filePath());
        if (file.open(QIODevice::ReadOnly))
            text += QStringLiteral("--- %1:\n%2")
                        .arg(log.fileName(), QString::fromUtf8(file.readAll().right(2000)));
    }
    return text;
}

// ---- recordings -----------------------------------------------------------------------------

TSinkRecording::TSinkRecording(const TPipeWireSession& session, const QString& sink,
                               const QString& path)
    : FPath(path) {
    FSince.start();
    FRecorder.setProcessChannelMode(QProcess::MergedChannels);
    FRecorder.setStandardOutputFile(path + QStringLiteral(".log"));
    // A capture stream aimed at a sink records what the sink plays (its monitor).
    session.Start(FRecorder, QStringLiteral("pw-record"),
                  {"--target", sink, "-P", "{ stream.capture.sink=true }", "--rate",
                   QString::number(Rate), "--channels", "2", "--format", "s16", path});
}

TSinkRecording::~TSinkRecording() {
    Stop();
}

bool TSinkRecording::WaitStarted(int timeoutMs) {
    if (!PollUntil([&] { return Seconds() > 0 || FRecorder.state() == QProcess::NotRunning; },
                   timeoutMs) ||
        Seconds() <= 0)
        return false;
    FStartDelayMs = FSince.elapsed();
    return true;
}

double TSinkRecording::Seconds() const {
    QFile file(FPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const TDataChunk chunk = FindDataChunk(file.read(4096));
    if (chunk.Offset < 0 || chunk.Rate == 0)
        return 0;
    const qsizetype frames = (file.size() - chunk.Offset) / FrameBytes(chunk.Channels, chunk.Bits);
    return double(std::max<qsizetype>(0, frames)) / chunk.Rate;
}

bool TSinkRecording::WaitForSeconds(double seconds, int timeoutMs) {
    return PollUntil(
               [&] { return Seconds() >= seconds || FRecorder.state() == QProcess::NotRunning; },
               timeoutMs) &&
           Seconds() >= seconds;
}

double TSinkRecording::WaitForSound(double from, int timeoutMs) {
    double at = -1;
    PollUntil(
        [&] {
            at = SoundCheck::FirstSound(Read(), from);
            return at >= 0 || FRecorder.state() == QProcess::NotRunning;
        },
        timeoutMs);
    return at;
}

TWav TSinkRecording::Read() const {
    return ReadGrowingWav(FPath);
}

void TSinkRecording::Stop() {
    // SIGINT lets the recorder complete the file's header.
    StopGroup(FRecorder, SIGINT);
}

TWav ReadGrowingWav(const QString& path) {
    QFile file(path);
    TWav wav;
    if (!file.open(QIODevice::ReadOnly))
        return wav;
    const QByteArray all = file.readAll();
    const TDataChunk chunk = FindDataChunk(all);
    if (chunk.Offset < 0 || chunk.Rate == 0)
        return wav;
    wav.Channels = chunk.Channels;
    wav.Rate = chunk.Rate;
    wav.Bits = chunk.Bits;
    qsizetype size = all.size() - chunk.Offset;
    if (chunk.Size > 0)
        size = std::min(size, qsizetype(chunk.Size));
    const qsizetype frame = FrameBytes(chunk.Channels, chunk.Bits);
    wav.Data = all.mid(chunk.Offset, size / frame * frame);
    return wav;
}

// ---- analysis -------------------------------------------------------------------------------

namespace SoundCheck {

namespace {

qsizetype Frames(const TWav& wav) {
    return wav.Channels == 0 || wav.Bits != 16 ? 0 : wav.Data.size() / (2 * wav.Channels);
}

qsizetype FrameAt(const TWav& wav, double seconds) {
    return std::clamp(qsizetype(std::llround(std::max(0.0, seconds) * wav.Rate)), qsizetype(0),
                      Frames(wav));
}

double RmsOfFrames(const TWav& wav, qsizetype first, qsizetype last) {
    const auto* samples = reinterpret_cast<const qint16*>(wav.Data.constData());
    double sum = 0;
    for (qsizetype i = first * wav.Channels; i < last * wav.Channels; ++i)
        sum += double(samples[i]) * samples[i];
    return last > first ? std::sqrt(sum / double((last - first) * wav.Channels)) / 32768.0 : -1.0;
}

// Whether each whole 10 ms block from `from` on is silent.
std::vector<bool> SilentBlocks(const TWav& wav, double from, double to) {
    std::vector<bool> silent;
    if (wav.Rate == 0)
        return silent;
    const qsizetype block = std::max<qsizetype>(1, qsizetype(BlockSeconds * wav.Rate));
    const qsizetype last = FrameAt(wav, to);
    for (qsizetype at = FrameAt(wav, from); at + block <= last; at += block)
        silent.push_back(RmsOfFrames(wav, at, at + block) < SilenceLevel);
    return silent;
}

} // namespace

double Seconds(const TWav& wav) {
    return wav.Rate == 0 ? 0 : double(Frames(wav)) / wav.Rate;
}

double Rms(const TWav& wav, double from, double to) {
    return RmsOfFrames(wav, FrameAt(wav, from), FrameAt(wav, to));
}

double FirstSound(const TWav& wav, double from) {
    const std::vector<bool> silent = SilentBlocks(wav, from, Seconds(wav));
    const auto found = std::find(silent.begin(), silent.end(), false);
    return found == silent.end() ? -1 : from + double(found - silent.begin()) * BlockSeconds;
}

TSilence LongestSilence(const TWav& wav, double from, double to) {
    const std::vector<bool> silent = SilentBlocks(wav, from, to);
    TSilence longest;
    std::size_t run = 0;
    for (std::size_t i = 0; i < silent.size(); ++i) {
        run = silent[i] ? run + 1 : 0;
        if (run > 0 && double(run) * BlockSeconds > longest.Length) {
            longest.Length = double(run) * BlockSeconds;
            longest.Start = from + double(i + 1 - run) * BlockSeconds;
        }
    }
    return longest;
}

double SoundBack(const TWav& wav, double from, double hold, double maxGap) {
    const std::vector<bool> silent = SilentBlocks(wav, from, Seconds(wav));
    const auto holdBlocks = std::size_t(std::lround(hold / BlockSeconds));
    const auto gapBlocks = std::size_t(std::lround(maxGap / BlockSeconds));
    for (std::size_t start = 0; start + holdBlocks <= silent.size(); ++start) {
        if (silent[start])
            continue;
        std::size_t run = 0, longest = 0;
        for (std::size_t i = start; i < start + holdBlocks; ++i) {
            run = silent[i] ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest < gapBlocks)
            return from + double(start) * BlockSeconds;
    }
    return -1;
}

double ZeroCrossingFrequency(const TWav& wav, double from, double to) {
    const auto* samples = reinterpret_cast<const qint16*>(wav.Data.constData());
    const qsizetype first = FrameAt(wav, from), last = FrameAt(wav, to);
    // The periods between rising crossings, and their median: a short gap in the sound (a
    // dropout, which the silence checks judge) makes one long period and leaves the pitch.
    std::vector<qsizetype> periods;
    qsizetype previous = -1;
    for (qsizetype i = first + 1; i < last; ++i) {
        if (samples[(i - 1) * wav.Channels] < 0 && samples[i * wav.Channels] >= 0) {
            if (previous >= 0)
                periods.push_back(i - previous);
            previous = i;
        }
    }
    if (periods.empty())
        return 0;
    // Whole periods of a tone that is not a divisor of the rate alternate between two
    // lengths; the mean of the middle half keeps the fraction.
    std::sort(periods.begin(), periods.end());
    const std::size_t quarter = periods.size() / 4;
    double sum = 0;
    for (std::size_t i = quarter; i < periods.size() - quarter; ++i)
        sum += double(periods[i]);
    return double(wav.Rate) / (sum / double(periods.size() - 2 * quarter));
}

} // namespace SoundCheck
