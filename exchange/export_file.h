// Writes every application entry and its stored flags to a REGEDIT4 file.
// Shows nothing: the caller tells the user what happened.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

enum class ExportOutcome {
    kWritten,             // the file at the path is the complete export
    kNoSettings,          // the settings key does not exist; no file written
    kSettingsUnreadable,  // the settings key cannot be opened; no file written
    kFileNotWritten,      // the file at the path is as it was
};

struct ExportReport {
    ExportOutcome outcome = ExportOutcome::kWritten;
    LONG error = ERROR_SUCCESS;  // the registry's or the file system's
    int exported = 0;            // entries written to the file
    // Entries whose names this system's code page cannot hold, as it shows
    // them: their sections would name other keys, so they are left out.
    std::vector<std::string> leftOut;
    // When a replace failed half-way and neither file could go back to the
    // path: where the user's earlier file and the new export are now.
    std::string earlierFile;
    std::string newFile;
};

// The file at `path` is replaced only by a complete export.
ExportReport ExportEntries(const char* path);

// The open export file and the error of the first write that failed
// (ERROR_SUCCESS while none has).
struct ExportOutput {
    HANDLE file;
    LONG error;
};

// The value line of one setting that reads as a REG_DWORD; false when it
// was not written.
bool WriteValueLine(const char* valueName, DWORD value, ExportOutput* out);
