// The console program's commands called in-process, with standard output
// and error sent to files of a test's folder.
#pragma once
#include <functional>
#include <string>

#include "support/temp_folder.h"

struct CommandOutput {
    int status;
    std::string out;
    std::string err;
};

CommandOutput RunRedirected(const TempFolder& folder, const std::function<int()>& command);
