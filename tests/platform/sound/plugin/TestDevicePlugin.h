#pragma once

// Controls of the "testdev" ALSA plugin the sound tests load: a stereo S16_LE 44100 Hz PCM
// whose hardware pointer moves only when the test lets it, so that a full ring, an underrun
// and a device that vanishes can be made to happen exactly.

#include <string>

extern "C" {
// Forget everything of the last test (call before opening the device).
void TestDeviceClear();
// Lets the running device move its pointer by frames (play or record them).
void TestDeviceGrant(unsigned frames);
// The device disappears: every later call on it answers -ENODEV.
void TestDeviceVanish();
// Its descriptor stays readable whether or not anything can move, as a sound server's plugin
// may keep it (cleared by TestDeviceClear).
void TestDeviceAlwaysReady();
// How often the program asked where the device is (each look at what can move).
unsigned long TestDevicePointerCalls();
}

// What the stream was told, in order: "start", "stop", "pause", "resume", "prepare".
std::string TestDeviceEvents();
