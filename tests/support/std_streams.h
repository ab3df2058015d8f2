// Standard output and error of the test program sent to files of a test's
// folder, for the console program's commands called in-process.
#pragma once
#include <windows.h>

#include <string>

#include "support/temp_folder.h"

// Standard output and error go to files of the test's folder meanwhile.
class Redirected {
public:
    explicit Redirected(const TempFolder& folder);
    ~Redirected() { Restore(); }
    // What was written, once the files are closed.
    std::string Out() {
        Restore();
        return ReadFileBytes(outPath_);
    }
    std::string Err() {
        Restore();
        return ReadFileBytes(errPath_);
    }

private:
    void Restore();
    std::string outPath_, errPath_;
    HANDLE oldOut_ = nullptr;
    HANDLE oldErr_ = nullptr;
};
