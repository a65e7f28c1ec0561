// The real program's resident memory over a long run, while it streams the virtual tuner's
// sound: after 100 re-plugs of the tuner and after 1,000; after 100 MPRIS calls and after
// 50,000. Goal: the later figure within 1 MB of the earlier one (a program that keeps
// something for every event grows linearly instead).
//
//   bench_memory                                    both runs
//   bench_memory --benchmark_filter=Replug          the re-plugs only
#include "PrivateBus.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <csignal>
#include <functional>

namespace {

constexpr const char* Service = "org.mpris.MediaPlayer2.orvalen";
constexpr const char* Path = "/org/mpris/MediaPlayer2";
constexpr const char* Player = "org.mpris.MediaPlayer2.Player";

// The resident memory of a process in MB; 0 when it cannot be read.
double ResidentMb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

// The program on a private bus, offscreen, streaming the virtual tuner with digital sound on.
class TRunningProgram {
public:
    TRunningProgram() {
        QFile ini(FConfig.filePath(QStringLiteral("orvalen.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[main]\r\ndirectsound=1\r\n");
        ini.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBus.Address);
        FProgram.setProcessEnvironment(environment);
        FProgram.start(QStringLiteral(ORVALEN_BINARY_DIR "/orvalen"),
                       {"--simulate", "--config-dir", FConfig.path()});
        FProgram.waitForStarted();
        FConnection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(FBus.Address, QStringLiteral("bench")));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 30000 && !Call("Play"))
            QThread::msleep(100);
    }
    ~TRunningProgram() {
        FProgram.terminate();
        FProgram.waitForFinished(30000);
        QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    }

    bool Call(const char* method) {
        QDBusInterface player(QString::fromLatin1(Service), QString::fromLatin1(Path),
                              QString::fromLatin1(Player), *FConnection);
        return player.call(QString::fromLatin1(method)).type() == QDBusMessage::ReplyMessage;
    }
    void Replug() {
        ::kill(pid_t(FProgram.processId()), SIGUSR1); // out
        QThread::msleep(20);
        ::kill(pid_t(FProgram.processId()), SIGUSR1); // in again
        QThread::msleep(20);
    }
    double Resident() const { return ResidentMb(FProgram.processId()); }
    bool Running() const { return FProgram.state() == QProcess::Running; }

private:
    TPrivateBus FBus;
    QTemporaryDir FConfig;
    QProcess FProgram;
    std::unique_ptr<QDBusConnection> FConnection;
};

// Runs `step` first `early` and then up to `late` times in all; the resident memory after each.
void Measure(benchmark::State& state, int early, int late,
             const std::function<void(TRunningProgram&)>& step) {
    for (auto _ : state) {
        TRunningProgram program;
        for (int i = 0; i < early; ++i)
            step(program);
        QThread::msleep(500);
        const double first = program.Resident();
        for (int i = early; i < late; ++i)
            step(program);
        QThread::msleep(500);
        const double last = program.Resident();
        state.counters["rss_first_MB"] = first;
        state.counters["rss_last_MB"] = last;
        state.counters["growth_MB"] = last - first;
        state.counters["still_running"] = program.Running() ? 1 : 0;
    }
}

void Replug(benchmark::State& state) {
    Measure(state, 100, 1000, [](TRunningProgram& program) { program.Replug(); });
}
BENCHMARK(Replug)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void MprisCalls(benchmark::State& state) {
    Measure(state, 100, 50000, [](TRunningProgram& program) { program.Call("PlayPause"); });
}
BENCHMARK(MprisCalls)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
