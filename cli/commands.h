// The console program's commands. Each prints what it did and returns the
// program's exit status.
#pragma once

enum ExitStatus {
    kExitDone = 0,
    kExitUsage = 1,
    kExitNothingDone = 2,  // the file cannot be read or written, or holds nothing to do
    kExitDoneInPart = 3,   // sections refused, entries left out
};

int ListEntries();
// `path` is a full path in the ANSI code page.
int ExportToFile(const char* path);
int ImportFromFile(const char* path, bool replace);
