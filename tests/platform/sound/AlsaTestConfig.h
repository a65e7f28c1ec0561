#pragma once

// Test PCMs in an ALSA configuration of the tests' own, which includes the system's alsa.conf
// first and is named by ALSA_CONFIG_PATH before the process's first ALSA call:
//   testcap  - capture reading the raw bytes of InputFile() (past its end: stale data)
//   testout  - playback writing the raw bytes it is given to OutputFile()
//   testboth - a null device listed for both directions
//   testdev  - the test plugin (plugin/TestDevicePlugin.h), stereo S16_LE 44100 Hz only
//   testfifo - playback into Fifo(), which nobody reads: its open never returns
// None of them keeps real time: they move data as fast as they are asked.

#include "PatternBytes.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

class TWaveDeviceSystem;
enum class TWaveDirection;

struct TAlsaTestConfig {
    QString InputFile;
    QString OutputFile;
    QString Fifo;
};

// Writes the configuration once per process and points ALSA at it.
const TAlsaTestConfig& AlsaTestConfig();

// The identifier of a named device, or -1.
int WaveDeviceId(TWaveDeviceSystem& system, TWaveDirection direction, const std::string& name);
