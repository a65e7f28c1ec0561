#pragma once

// Where the FLAC encoder's bytes go: a file on a descriptor of the recorder's own, handed to
// libsndfile as virtual I/O so that every write is seen. It notes where the whole frames end,
// and after the first write the disk refuses it takes nothing more: Complete then cuts the file
// back to its last whole frame and sets the stream header's length to match, so that what was
// written stays a valid FLAC stream, and removes a file that holds no sound at all.
//
// The encoder hands over the stream header first, then each frame at the end of the file, and
// goes back to rewrite the header only once every frame is out. A frame is known to be whole
// when the next one starts or the encoder goes back; one cut short by a refused write is
// dropped whether it came in one write or several.

#include <cstdint>
#include <sndfile.h>
#include <string>

class TFlacOutput {
public:
    // Takes the open descriptor of the file at path (for the removal).
    TFlacOutput(int descriptor, std::string path);
    ~TFlacOutput();
    TFlacOutput(const TFlacOutput&) = delete;
    TFlacOutput& operator=(const TFlacOutput&) = delete;

    // libsndfile's virtual I/O over this output (its user data is the output).
    static SF_VIRTUAL_IO& Callbacks();

    // The error number of the first write the disk refused; 0 while there was none.
    int Refused() const { return FRefused; }

    // After the encoder has finished: cuts back a file the disk refused, removes one without
    // sound and closes the descriptor. The samples per channel the file holds (0: removed).
    std::uint64_t Complete();

private:
    sf_count_t Write(const void* data, sf_count_t count);
    sf_count_t Read(void* data, sf_count_t count);
    sf_count_t Seek(sf_count_t offset, int whence);
    void FrameStarts(std::uint32_t samples);
    void Cut();

    int FDescriptor;
    std::string FPath;
    sf_count_t FPosition = 0;
    sf_count_t FSize = 0;
    // Before FWholeEnd: the stream header and whole frames of FWholeSamples samples.
    sf_count_t FWholeEnd = 0;
    std::uint64_t FWholeSamples = 0;
    std::uint32_t FFrameSamples = 0; // of the frame being written after FWholeEnd
    int FRefused = 0;
};
