#include "app/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, ParsesEveryOption) {
    const TCommandLine line = ParseCommandLine({"--simulate=TEA5767", "--sim-record", "/tmp/x.wav",
                                                "--config-dir=/tmp/c", "--tray", "--verbose"});
    EXPECT_TRUE(line.Error.isEmpty()) << line.Error.toStdString();
    EXPECT_TRUE(line.Simulate);
    EXPECT_EQ(line.SimulateModel, "tea5767");
    EXPECT_EQ(line.SimRecord, "/tmp/x.wav");
    EXPECT_EQ(line.ConfigDir, "/tmp/c");
    EXPECT_TRUE(line.Tray);
    EXPECT_TRUE(line.Verbose);
    EXPECT_EQ(ParseCommandLine({"--simulate"}).SimulateModel, "rda5807m");
    EXPECT_FALSE(ParseCommandLine({"--verbose"}).Tray);
}

TEST(CommandLine, ReportsWhatItCannotUnderstand) {
    for (const QStringList& args :
         {QStringList{"--bogus"}, QStringList{"--simulate=xyz"}, QStringList{"--config-dir"},
          QStringList{"--config-dir", ""}, QStringList{"--config-dir="},
          QStringList{"--sim-record", "a.wav"}, QStringList{"--tray=yes"}})
        EXPECT_FALSE(ParseCommandLine(args).Error.isEmpty()) << args.join(' ').toStdString();
}
