#pragma once

// The reference windows, I0 values and tap designs written by make_equalizer_reference.py
// (numpy/scipy), read from the committed equalizer_reference.txt.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef ORVALEN_SOURCE_DIR
#error "ORVALEN_SOURCE_DIR must name the source tree"
#endif

struct TReferenceWindow {
    int Type = 0;
    int N = 0;
    double Alpha = 0.0;
    std::vector<double> Values;
};

struct TReferenceI0 {
    double X = 0.0;
    double Value = 0.0;
};

struct TReferenceBand {
    double Frequency = 0.0;
    double Gain = 0.0;
    bool Enabled = true;
};

struct TReferenceDesign {
    std::string Name;
    int Type = 0;
    double Alpha = 0.0;
    double SampleRate = 0.0;
    std::vector<TReferenceBand> Bands;
    std::vector<double> Taps;
};

struct TEqualizerReference {
    std::vector<TReferenceWindow> Windows;
    std::vector<TReferenceI0> I0;
    std::vector<TReferenceDesign> Designs;
};

namespace EqualizerReferenceDetail {
// strtod rounds correctly, so the written shortest forms read back as the exact doubles.
inline double Number(std::istringstream& in) {
    std::string token;
    if (!(in >> token))
        throw std::runtime_error("reference data: value missing");
    return std::strtod(token.c_str(), nullptr);
}

inline std::vector<double> Numbers(std::istringstream& in, int count) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
        values.push_back(Number(in));
    return values;
}

inline TEqualizerReference Load() {
    std::ifstream file(std::string(ORVALEN_SOURCE_DIR) +
                       "/tests/equalizer/data/equalizer_reference.txt");
    if (!file)
        throw std::runtime_error("reference data: equalizer_reference.txt not found");
    TEqualizerReference data;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "window") {
            TReferenceWindow window;
            in >> window.Type >> window.N;
            window.Alpha = Number(in);
            window.Values = Numbers(in, window.N);
            data.Windows.push_back(window);
        } else if (kind == "i0") {
            const double x = Number(in);
            data.I0.push_back({x, Number(in)});
        } else if (kind == "design") {
            TReferenceDesign design;
            int bands = 0;
            in >> design.Name >> design.Type;
            design.Alpha = Number(in);
            design.SampleRate = Number(in);
            in >> bands;
            for (int i = 0; i < bands; ++i) {
                TReferenceBand band;
                band.Frequency = Number(in);
                band.Gain = Number(in);
                band.Enabled = Number(in) != 0.0;
                design.Bands.push_back(band);
            }
            design.Taps = Numbers(in, 41);
            data.Designs.push_back(design);
        }
    }
    return data;
}
} // namespace EqualizerReferenceDetail

inline const TEqualizerReference& EqualizerReference() {
    static const TEqualizerReference data = EqualizerReferenceDetail::Load();
    return data;
}
