// The console program's commands. Each prints what it did and returns the
// program's exit status.
#pragma once

enum ExitStatus {
    kExitDone = 0,
    kExitUsage = 1,
    kExitNothingDone = 2,  // the file cannot be read or written, or holds nothing to do
    kExitDoneInPart = 3,   // sections refused, values skipped, entries left out
};

// Every entry and its seven values: aligned columns, or CSV with `csv`.
int ListEntries(bool csv);
// `path` is a full path in the ANSI code page.
int ExportToFile(const char* path);
// With `whatIf` the file and the registry are read as the import would read
// them, and the import's report and status come without a write.
int ImportFromFile(const char* path, bool replace, bool whatIf);
// The program's version from its version block.
int PrintVersion();
