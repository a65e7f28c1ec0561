#pragma once

// How libasound's negative errno results become the wave layer's result codes, and the one
// process-wide switch that keeps libasound from printing its own messages: the program reports
// device failures through the documented errors, never on standard error.

#include <cstdint>
#include <string>

// The result code for a failed ALSA call; 0 stays WaveNoError.
std::uint32_t WaveResultFromAlsa(int error);

// The device has vanished (unplugged, its server gone): nothing on this handle can succeed again.
bool AlsaDeviceGone(int error);

// What failed, for the user: the step and ALSA's own words ("opening: No such device").
std::string AlsaReason(const char* step, int error);

// Installs a silent error handler in libasound, once per process; safe from any thread.
void SilenceAlsaErrors();
