#include "AlsaTestConfig.h"

#include "FileBytes.h"
#include "platform/sound/WaveDevice.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString Config(const TAlsaTestConfig& config) {
    return QStringLiteral(
               "</usr/share/alsa/alsa.conf>\n"
               "pcm.testcap { type file; slave.pcm null; file \"/dev/null\"; infile \"%1\";\n"
               "    format raw; hint { show on; description \"Test capture|IOIDInput\" } }\n"
               "pcm.testout { type file; slave.pcm null; file \"%2\"; format raw;\n"
               "    hint { show on; description \"Test output|IOIDOutput\" } }\n"
               "pcm.testboth { type null; hint { show on; description \"Test both\" } }\n"
               "pcm.testfifo { type file; slave.pcm null; file \"%4\"; format raw }\n"
               "pcm_type.testdev { lib \"%3\" }\n"
               "pcm.testdev { type testdev; hint { show on; description \"Test device\" } }\n")
        .arg(config.InputFile, config.OutputFile, QStringLiteral(ORVALEN_TESTDEV_PLUGIN),
             config.Fifo);
}

} // namespace

const TAlsaTestConfig& AlsaTestConfig() {
    static QTemporaryDir dir;
    static const TAlsaTestConfig config = [] {
        TAlsaTestConfig result;
        result.InputFile = dir.filePath("input.raw");
        result.OutputFile = dir.filePath("output.raw");
        result.Fifo = dir.filePath("fifo");
        ::mkfifo(QFile::encodeName(result.Fifo).constData(), 0600);
        const QString path = dir.filePath("asound.conf");
        WriteFileBytes(path, Config(result).toUtf8());
        // The capture PCM opens its input file when it is opened, so one must exist.
        WriteFileBytes(result.InputFile, QByteArray(4, '\0'));
        setenv("ALSA_CONFIG_PATH", path.toLocal8Bit().constData(), 1);
        return result;
    }();
    return config;
}

int WaveDeviceId(TWaveDeviceSystem& system, TWaveDirection direction, const std::string& name) {
    const int count = system.DeviceCount(direction);
    for (int id = 0; id < count; ++id) {
        std::string candidate;
        if (system.DeviceName(direction, id, candidate) == WaveNoError && candidate == name)
            return id;
    }
    return -1;
}
