#include "recording/SndfileLibrary.h"

#include <dlfcn.h>

namespace {

template <class T> bool Bind(void* handle, const char* name, T& function, std::string& error) {
    function = reinterpret_cast<T>(dlsym(handle, name));
    if (!function)
        error = std::string("The sound file library lacks ") + name + ".";
    return function != nullptr;
}

} // namespace

bool LoadSndfileLibrary(const char* fileName, TSndfileLibrary& library, std::string& error) {
    void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = std::string("The sound file library cannot be loaded: ") +
                (reason ? reason : fileName) + ".";
        return false;
    }
    TSndfileLibrary bound;
    if (!(Bind(handle, "sf_open_virtual", bound.OpenVirtual, error) &&
          Bind(handle, "sf_writef_int", bound.WritefInt, error) &&
          Bind(handle, "sf_close", bound.Close, error) &&
          Bind(handle, "sf_error", bound.Error, error) &&
          Bind(handle, "sf_strerror", bound.StrError, error) &&
          Bind(handle, "sf_error_number", bound.ErrorNumber, error))) {
        dlclose(handle);
        return false;
    }
    // Kept loaded for the program's life: files made with it may be open anywhere.
    library = bound;
    error.clear();
    return true;
}

const TSndfileLibrary* Sndfile(std::string& error) {
    struct TLoaded {
        TSndfileLibrary Library;
        std::string Error;
        bool Ok = false;
    };
    static const TLoaded loaded = [] {
        TLoaded result;
        result.Ok = LoadSndfileLibrary("libsndfile.so.1", result.Library, result.Error);
        return result;
    }();
    if (!loaded.Ok) {
        error = loaded.Error;
        return nullptr;
    }
    return &loaded.Library;
}
