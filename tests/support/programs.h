// Other programs of the platform, run from a test: Wine's regedit and reg.
#pragma once
#include <string>

bool RunningOnWine();
// Runs the command line, waits for it and returns its exit code (or -1).
int RunProgram(const std::string& commandLine);
