// Another program holding a file for a while, as a virus scanner or a sync
// client does on Windows: a handle without delete sharing, closed by a
// thread of its own when the time is up.
#pragma once
#include <windows.h>

#include <string>

// Holds the file from now for `ms` milliseconds, sharing it as `share`
// says; false when it could not be opened.
bool HoldFile(const std::string& path, DWORD ms, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);
// Waits until every hold has been let go.
void ReleaseAllHolds();
// The full path of the first file in `folder` whose name matches `pattern`
// ("kmx*.tmp"), or "".
std::string FindFileIn(const std::string& folder, const char* pattern);
