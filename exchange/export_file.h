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
    kEveryEntryLeftOut,   // no entry could be written: the file at the path
                          // is as it was, and `leftOut` says why
};

// Why an entry was left out of an export.
enum class LeftOutReason {
    kTooLong,           // its name is longer than the program's names
    kOutsideCodePage,   // its name cannot be written in this system's code page
    kEndsInDropped,     // ends in a character the reader drops (blank, tab,
                        // vertical tab, form feed, ^Z): read back as another
    kControlCharacter,  // holds a control character: a line end breaks its
                        // section line, and the reader keeps no other either
};

struct LeftOutEntry {
    std::string name;  // as this system's code page shows it
    LeftOutReason why;
};

struct ExportReport {
    ExportOutcome outcome = ExportOutcome::kWritten;
    LONG error = ERROR_SUCCESS;  // the registry's or the file system's
    int exported = 0;            // entries written to the file
    // Entries whose sections would name other keys or none, so they are
    // left out: in the registry's order.
    std::vector<LeftOutEntry> leftOut;
    // When a replace failed half-way and neither file could go back to the
    // path: where the user's earlier file and the new export are now.
    std::string earlierFile;
    std::string newFile;
    // A copy of the earlier file that could not be deleted after the export
    // took its place: the user is told where it stays.
    std::string leftBackup;
    // The chosen file is a link whose target has a path this program cannot
    // name exactly: ERROR_FILENAME_EXCED_RANGE or ERROR_NO_UNICODE_TRANSLATION.
    bool linkTargetUnusable = false;
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
