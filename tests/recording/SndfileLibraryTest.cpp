#include "recording/SndfileLibrary.h"

#include <gtest/gtest.h>

TEST(SndfileLibrary, LoadsTheLibraryOrSaysWhyNot) {
    const struct {
        const char* FileName;
        bool Loads;
        const char* Reason;
    } cases[] = {
        {"libsndfile.so.1", true, ""},
        {"libsndfile-not-installed.so.9", false, "cannot be loaded: libsndfile-not-installed"},
        {"libz.so.1", false, "lacks sf_open_virtual"}, // a library, but another one
    };
    for (const auto& c : cases) {
        TSndfileLibrary library;
        std::string error = "stale";
        EXPECT_EQ(LoadSndfileLibrary(c.FileName, library, error), c.Loads) << c.FileName;
        EXPECT_NE(error.find(c.Reason), std::string::npos) << c.FileName << ": " << error;
        EXPECT_EQ(library.OpenVirtual != nullptr, c.Loads) << c.FileName;
        if (c.Loads) {
            EXPECT_STREQ(library.ErrorNumber(SF_ERR_NO_ERROR), "No Error.");
        }
    }
}
