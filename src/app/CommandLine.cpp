#include "CommandLine.h"

TCommandLine ParseCommandLine(const QStringList& arguments) {
    TCommandLine result;
    auto fail = [&result](const QString& text) {
        if (result.Error.isEmpty())
            result.Error = text;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&](const QString& option) -> QString {
            const QString prefix = option + '=';
            if (arg.startsWith(prefix))
                return arg.mid(prefix.size());
            if (i + 1 < arguments.size())
                return arguments[++i];
            fail(QStringLiteral("%1 needs a value").arg(option));
            return {};
        };
        if (arg == QLatin1String("--simulate")) {
            result.Simulate = true;
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            result.Simulate = true;
            result.SimulateModel = arg.mid(11).toLower();
            if (result.SimulateModel != QLatin1String("tea5767") &&
                result.SimulateModel != QLatin1String("rda5807m"))
                fail(QStringLiteral("Unknown tuner model for --simulate: %1").arg(arg.mid(11)));
        } else if (arg == QLatin1String("--sim-record") ||
                   arg.startsWith(QLatin1String("--sim-record="))) {
            result.SimRecord = value(QStringLiteral("--sim-record"));
        } else if (arg == QLatin1String("--config-dir") ||
                   arg.startsWith(QLatin1String("--config-dir="))) {
            result.ConfigDir = value(QStringLiteral("--config-dir"));
            // An empty folder would quietly mean "beside the executable".
            if (result.ConfigDir.isEmpty())
                fail(QStringLiteral("--config-dir needs a folder"));
        } else if (arg == QLatin1String("--tray")) {
            result.Tray = true;
        } else if (arg == QLatin1String("--verbose")) {
            result.Verbose = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.Help = true;
        } else if (arg == QLatin1String("--version")) {
            result.Version = true;
        } else if (arg.startsWith('-')) {
            fail(QStringLiteral("Unknown option: %1").arg(arg));
        }
        // Other words are left to the running instance, which receives the whole line.
    }
    if (!result.SimRecord.isEmpty() && !result.Simulate)
        fail(QStringLiteral("--sim-record needs --simulate"));
    return result;
}

QString CommandLineUsage() {
    return QStringLiteral(
        "Usage: orvalen [options]\n"
        "Controls a USB FM radio tuner.\n\n"
        "  --simulate[=tea5767|rda5807m]  plug in a virtual tuner (default rda5807m)\n"
        "  --sim-record FILE              with --simulate: also write the played sound to FILE\n"
        "  --config-dir DIR               keep the settings and the station list in DIR\n"
        "  --tray                         start hidden in the tray (as at login)\n"
        "  --verbose                      write every log line to standard error\n"
        "  --help                         show this text and exit\n"
        "  --version                      show the version and exit\n");
}
