// Other programs of the platform, run from a test: Wine's regedit and reg.
#pragma once
#include <string>

bool RunningOnWine();
// Runs the command line, waits for it and returns its exit code (or -1).
// `quiet` throws away what it writes to its standard output and error.
int RunProgram(const std::string& commandLine, bool quiet = false);

// Some state is the process's (the file dialog's remembered corner, the
// server mutex the program keeps): a test that needs a fresh process runs
// its body in a new instance of the test program, filtered to itself.
// True in that instance.
bool InFreshProcess();
// Runs the current test in a fresh process, of `program` when given (a copy
// of the test program elsewhere); its exit code (0 when it passed).
int RunCurrentTestInFreshProcess(const std::string& program = "");
