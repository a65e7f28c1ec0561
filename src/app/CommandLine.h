#pragma once

#include <QString>
#include <QStringList>

// The program's command line:
// orvalen [--simulate[=tea5767|rda5807m]] [--sim-record FILE] [--config-dir DIR] [--verbose]
//         [--help] [--version]
struct TCommandLine {
    QString ConfigDir;
    bool Simulate = false;
    QString SimulateModel = QStringLiteral("rda5807m");
    QString SimRecord;
    bool Verbose = false;
    bool Help = false;
    bool Version = false;
    QString Error; // set when the arguments cannot be understood
};

// Parses the arguments after the program name.
TCommandLine ParseCommandLine(const QStringList& arguments);

QString CommandLineUsage();
