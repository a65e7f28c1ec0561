#include "app/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, ParsesEveryOption) {
    const TCommandLine line = ParseCommandLine(
        {"--simulate=TEA5767", "--sim-record", "/tmp/x.wav", "--config-dir=/tmp/c", "--verbose"});
    EXPECT_TRUE(line.Error.isEmpty()) << line.Error.toStdString();
    EXPECT_TRUE(line.Simulate);
    EXPECT_EQ(line.SimulateModel, "tea5767");
    EXPECT_EQ(line.SimRecord, "/tmp/x.wav");
    EXPECT_EQ(line.ConfigDir, "/tmp/c");
    EXPECT_TRUE(line.Verbose);
    EXPECT_EQ(ParseCommandLine({"--simulate"}).SimulateModel, "rda5807m");
}

TEST(CommandLine, ReportsWhatItCannotUnderstand) {
    for (const QStringList& args :
         {QStringList{"--bogus"}, QStringList{"--simulate=xyz"}, QStringList{"--config-dir"},
          QStringList{"--config-dir", ""}, QStringList{"--config-dir="},
          QStringList{"--sim-record", "a.wav"}})
        EXPECT_FALSE(ParseCommandLine(args).Error.isEmpty()) << args.join(' ').toStdString();
}
