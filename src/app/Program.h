#pragma once

#include "CommandLine.h"

// Creates the program's windows in their order and runs the message loop until the main
// window has closed; returns the exit code.
int RunProgram(const TCommandLine& commandLine);
