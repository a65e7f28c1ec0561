#include "Application.h"
#include "CommandLine.h"
#include "DisplayCheck.h"
#include "Program.h"
#include "platform/system/ArgumentPath.h"
#include "platform/system/LeakSuppressions.h"
#include "platform/system/VersionInfo.h"
#include "sim/WavFile.h"

#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

// The version the About window reads back from the executable file, as a file version has it:
// four numbers, the last one 0.
[[gnu::section(".note.orvalen.version"),
  gnu::used]] alignas(4) static const TVersionNote versionNote = {
    sizeof(VersionNoteOwner),
    sizeof(TFileVersion),
    VersionNoteType,
    "Orvalen",
    {(ORVALEN_VERSION_MAJOR << 16) | ORVALEN_VERSION_MINOR, (ORVALEN_VERSION_PATCH << 16) | 0}};

int main(int argc, char** argv) {
    // A reader of our standard error that goes away must not end the program before its
    // close sequence; the log echo stops by itself when its writes fail.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit (ulimit -f) must fail the write that reaches it (EFBIG), which the
    // recording reports and survives, instead of killing the program before its settings are
    // written.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const bool folder = i > 1 && std::strcmp(argv[i - 1], "--config-dir") == 0;
        if (folder) {
            arguments << FolderArgumentPath(argv[i]);
        } else if (std::strncmp(argv[i], "--config-dir=", 13) == 0) {
            arguments << QStringLiteral("--config-dir=") + FolderArgumentPath(argv[i] + 13);
        } else {
            arguments << QFile::decodeName(argv[i]);
        }
    }
    const TCommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.Help) {
        std::fputs(CommandLineUsage().toUtf8().constData(), stdout);
        return 0;
    }
    if (commandLine.Version) {
        // The release's version, as the package and the manual page give it.
        std::printf("orvalen %d.%d.%d\n", ORVALEN_VERSION_MAJOR, ORVALEN_VERSION_MINOR,
                    ORVALEN_VERSION_PATCH);
        return 0;
    }
    if (!commandLine.Error.isEmpty()) {
        std::fprintf(stderr, "orvalen: %s\n%s", commandLine.Error.toUtf8().constData(),
                     CommandLineUsage().toUtf8().constData());
        return 2;
    }
    if (!commandLine.SimRecord.isEmpty()) {
        // Said now, not when the sound first plays: the user is still at the terminal.
        const std::string problem =
            PrepareWavFile(QFile::encodeName(commandLine.SimRecord).toStdString());
        if (!problem.empty()) {
            TApplication::PrintError(QString::fromLocal8Bit(problem.c_str()));
            return 2;
        }
    }
    if (const QString reason = MissingDisplayReason(); !reason.isEmpty()) {
        std::fprintf(stderr, "%s\n", NoDisplayLine(reason).toLocal8Bit().constData());
        return NoDisplayExitCode;
    }
    std::optional<TDisplayConnectGuard> guard(std::in_place);
    TApplication app(argc, argv);
    guard.reset();
    return RunProgram(commandLine);
}
