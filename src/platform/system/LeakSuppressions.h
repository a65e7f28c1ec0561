#pragma once

// For builds with the leak sanitizer: allocations that system libraries keep for the life of
// the process (fontconfig's caches, libdbus's connection buffers, GLib's type system, ALSA's
// configuration tree, the Wayland client library's proxies that Qt's platform plugin leaves
// at exit) are not leaks of ours. The sanitizer asks every executable for this
// list; each program's main file includes this header once, so the sanitizer build reports
// only real leaks however it is run.
// Unused (and harmless) in other builds.
extern "C" [[gnu::used]] const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libasound.so\n"
           "leak:libwayland-client.so\n";
}
