#include "Application.h"
#include "CommandLine.h"
#include "Program.h"
#include "platform/system/VersionInfo.h"

#include <cstdio>

// The version the About window reads back from the executable file.
[[gnu::section(".note.orvalen.version"),
  gnu::used]] alignas(4) static const TVersionNote versionNote = {
    sizeof(VersionNoteOwner),
    sizeof(TFileVersion),
    VersionNoteType,
    "Orvalen",
    {(ORVALEN_VERSION_MAJOR << 16) | ORVALEN_VERSION_MINOR,
     (ORVALEN_VERSION_PATCH << 16) | ORVALEN_VERSION_TWEAK}};

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TCommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.Help) {
        std::fputs(CommandLineUsage().toUtf8().constData(), stdout);
        return 0;
    }
    if (commandLine.Version) {
        std::printf("orvalen %s\n", GetVersionString("/proc/self/exe").c_str());
        return 0;
    }
    if (!commandLine.Error.isEmpty()) {
        std::fprintf(stderr, "orvalen: %s\n%s", commandLine.Error.toUtf8().constData(),
                     CommandLineUsage().toUtf8().constData());
        return 2;
    }
    TApplication app(argc, argv);
    return RunProgram(commandLine);
}
