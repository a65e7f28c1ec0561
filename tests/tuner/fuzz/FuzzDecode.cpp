// libFuzzer target for the input report decoder: build with clang and -DORVALEN_FUZZ=ON,
// run build/tests/tuner/fuzz_tuner_decode.
#include "DecodeEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecodeEntry(data, size);
    return 0;
}
