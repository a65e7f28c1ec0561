#pragma once

// libsndfile, loaded when the first recording file is made rather than with the program: with
// it come its eight codec libraries, whose loading and symbol binding every start paid (about
// 0.8 ms and 0.7 MB) for a feature used now and then. Loaded privately, so none of its symbols
// enter the program's own lookups. Thread-safe.

#include <sndfile.h>
#include <string>

struct TSndfileLibrary {
    decltype(&sf_open_virtual) OpenVirtual = nullptr;
    decltype(&sf_writef_int) WritefInt = nullptr;
    decltype(&sf_close) Close = nullptr;
    decltype(&sf_error) Error = nullptr;
    decltype(&sf_strerror) StrError = nullptr;
    decltype(&sf_error_number) ErrorNumber = nullptr;
};

// The library's functions, loaded on the first call; nullptr when it cannot be loaded, with
// error saying why (for the user: the recording cannot start).
const TSndfileLibrary* Sndfile(std::string& error);

// What Sndfile does, for a library of that file name (tests load one that is not there).
bool LoadSndfileLibrary(const char* fileName, TSndfileLibrary& library, std::string& error);
