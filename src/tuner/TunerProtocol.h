#pragma once

// The tuner's wire protocol as pure functions: the output reports the program writes, the
// input reports it interprets, and the log lines the traffic produces. Nothing here touches
// a device or a window, so every byte and every line can be checked with tables of cases.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace TunerProtocol {

inline constexpr int VendorID = 0x1980;
inline constexpr int ProductTEA5767 = 0x1F01;
inline constexpr int ProductRDA5807M = 0x1F02;

// Every output report is built in a zero-filled buffer of at least this many bytes.
inline constexpr int MinReportBuffer = 64;
// ApplyStatus works on a copy of this many data bytes; bytes beyond the report read as 0.
inline constexpr int StatusCopySize = 64;

inline constexpr int FMMaxPosition = 200;
inline constexpr int UKVMaxPosition = 81;
inline constexpr int FMBase = 880;  // tune value of FM position 0 (88.0 MHz)
inline constexpr int UKVBase = 659; // tune value of UKV position 0 (65.9 MHz)

// Command bytes after the report ID.
QByteArray CommandFlag(char letter, bool value);
QByteArray CommandTune(bool bandFM, int position);
// The chip volume is sent as the value plus one (0..15 becomes 1..16).
QByteArray CommandChipVolume(int volume);

struct TFullState {
    bool PowerOn = false;
    bool Muted = false;
    bool Stereo = false;
    bool BandFM = true;
    bool Started = false;
    bool Bass = false;
    int Position = 0; // tuning slider position
    bool DigitalAudio = false;
    int HardVolume = 0;     // chip volume used while the program carries the audio
    int VolumePosition = 0; // volume slider position, used otherwise
    bool UseRDS = false;
};
std::uint8_t FullStateFlags(const TFullState& state);
std::uint8_t FullStateVolumeRDS(const TFullState& state);
QByteArray CommandFullState(const TFullState& state);

// The whole output report: report ID 0, the command, zeros up to the larger of the output
// report length and MinReportBuffer. Only the first outputLength bytes are written.
QByteArray OutputReport(const QByteArray& command, int outputLength);

// Tune value (tenths of a megahertz) of a tuning position and back.
int TuneValueOf(bool bandFM, int position);

// Frequency in hertz that a TEA5767 PLL word tunes with a 32.768 kHz crystal and high-side
// injection.
std::int64_t PllToHertz(int pll);
// Nearest integer of numerator / denominator (denominator > 0), ties to even.
std::int64_t DivRoundHalfEven(std::int64_t numerator, std::int64_t denominator);

// The RDA5807M reports channels counted from 87.0 MHz (FM) or 65.0 MHz (UKV) in 100 kHz
// steps; tuning positions count from 88.0 and 65.9 MHz.
int ChannelToPosition(bool bandFM, int channel);
int PositionToChannel(bool bandFM, int position);

enum class TStatusFormat { None, TeaPll, TeaLevel, RdaChannel, RdaStatus };

// Selects the format by the first data byte; None for empty data or an unknown byte.
TStatusFormat StatusFormatOf(const std::uint8_t* data, std::size_t size);

// What the program does with one status report, given the state that gates it.
struct TStatusInput {
    bool Stereo = true; // FStereo
    bool UseRDS = false;
    bool BandFM = true;
};
struct TStatusEffects {
    TStatusFormat Format = TStatusFormat::None;
    std::optional<int> SliderPosition; // move the tuning slider (already within its range)
    std::optional<int> TuneValue;      // set the display's tune value and look up the name
    std::optional<int> Frequency;      // the tune value the report names, in the band or not
    bool SetsSignal = false;           // IsStereo and TuneLevel below apply
    bool IsStereo = false;
    int TuneLevel = 0;
    bool SetsRDS = false; // RDSEnabled and RDSString below apply
    bool RDSEnabled = false;
    QString RDSString; // the eight name bytes through the Windows-1251 code page
    QString LogLine;
};
// Decodes the data bytes of an input report (after the report ID). Any length is accepted:
// the bytes are copied into StatusCopySize zeroed bytes first, so a short report reads as
// zeros and a long one is cut.
TStatusEffects DecodeStatus(const std::uint8_t* data, std::size_t size, const TStatusInput& in);

// "RD 00  72 04 " and "WR 00  67 00 ": the first byte, two spaces, each further byte.
QString ReportLine(const char* prefix, std::uint8_t first, const std::uint8_t* rest,
                   std::size_t count);
QString ReadLine(std::uint8_t reportID, const std::uint8_t* data, std::size_t size);
QString WriteLine(const QByteArray& written);
QString WriteErrorLine(int error);
// The system's message text for an error number: at most 256 characters, trailing spaces,
// control characters and full stops removed.
QString SystemErrorText(int error);
QString ConnectedLine();
QString DisconnectedLine(const QString& productText);
QString DataErrorLine(int error);

} // namespace TunerProtocol
