#pragma once

// The tuner's firmware, simulated: it takes the output reports the program writes and
// answers "g" with the status reports of its chip, tuned on the band plan. A TEA5767 answers
// with format 0x05 (PLL word for a 32.768 kHz crystal, high-side injection); an RDA5807M
// answers with format 0x08 (channel from 87.0 or 65.0 MHz in 100 kHz steps) and "r"
// (stereo, RDS, level, programme-service name). Seek moves to the next station of the band
// in its direction, wrapping; its result shows in the next status.
//
// Threads: reports are handled on the GUI thread; State() is for the same thread. The virtual
// line-in's driver thread reads Sound(), one consistent snapshot taken under the tuner's lock.

#include "platform/hid/SimHidBackend.h"

#include <mutex>

enum class TSimChip { TEA5767, RDA5807M };

struct TVirtualTunerState {
    bool Power = false;
    bool Muted = false;
    bool StereoAllowed = true;
    bool Bass = false;
    bool RDS = false;
    int Volume = 8; // 0..15
    bool BandFM = true;
    int Position = 0; // tuning position in the band
};

// What the virtual line-in needs to know to play the tuner's sound.
struct TVirtualTunerSound {
    bool Power = false;
    bool Muted = false;
    const struct TSimStation* Station = nullptr; // the station tuned, or none
};

class TVirtualTuner : public TSimFirmware {
public:
    explicit TVirtualTuner(TSimChip chip) : FChip(chip) {}

    std::vector<QByteArray> HandleOutput(const QByteArray& report) override;

    TSimChip Chip() const { return FChip; }
    TVirtualTunerState State() const;
    int TuneValue() const;                     // of the tuned frequency
    const struct TSimStation* Station() const; // the station tuned, or none
    TVirtualTunerSound Sound() const;          // any thread

    static TSimDeviceDescription DeviceSpec(TSimChip chip);

private:
    std::vector<QByteArray> StatusReports() const;
    void Tune(bool bandFM, int position);
    void Seek(bool up);

    TSimChip FChip;
    mutable std::mutex FLock;
    TVirtualTunerState FState;
};

// The PLL word the TEA5767 holds for a frequency in hertz, and the report bytes of a status.
int SimPllForHertz(long long hertz);
