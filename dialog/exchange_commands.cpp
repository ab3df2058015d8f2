#include "dialog/exchange_commands.h"

#include <commctrl.h>

#include <string>

#include "dialog/app_list.h"
#include "dialog/main_dialog.h"
#include "dialog/scoped_ui.h"
#include "exchange/export_file.h"
#include "exchange/import_file.h"
#include "store/hook_settings.h"

namespace {

// The left-out entries named in the warning: the first few by name, the
// rest counted, so that the message stays readable.
constexpr size_t kLeftOutNamed = 20;

const char* LeftOutHeading(LeftOutReason why) {
    switch (why) {
    case LeftOutReason::kTooLong:
        return "These entries were not exported: their names are too long for this program.";
    case LeftOutReason::kOutsideCodePage:
        return "These entries were not exported: their names cannot be written in this system's "
               "code page.";
    case LeftOutReason::kEndsInDropped:
        return "These entries were not exported: their names end in a blank or another "
               "character that a registry file does not keep.";
    case LeftOutReason::kControlCharacter:
        return "These entries were not exported: their names hold a control character, which "
               "a registry file does not keep.";
    }
    return "These entries were not exported.";
}

// One paragraph per reason, in the order of the reasons; twenty names in
// all, the rest counted.
void WarnLeftOut(HWND owner, const std::vector<LeftOutEntry>& leftOut, const char* opening,
                 UINT icon) {
    std::string text = opening;
    size_t named = 0;
    for (LeftOutReason why : {LeftOutReason::kOutsideCodePage, LeftOutReason::kTooLong,
                              LeftOutReason::kEndsInDropped, LeftOutReason::kControlCharacter}) {
        bool headed = false;
        for (const LeftOutEntry& entry : leftOut) {
            if (entry.why != why || named == kLeftOutNamed) continue;
            if (!headed) {
                text += std::string(text.empty() ? "" : "\r\n\r\n") + LeftOutHeading(why) + "\r\n";
                headed = true;
            }
            text += "\r\n" + entry.name;
            ++named;
        }
    }
    if (leftOut.size() > named) {
        text += "\r\n(and " + std::to_string(leftOut.size() - named) + " more)";
    }
    MessageBoxA(owner, text.c_str(), kAppTitle, icon);
}

// What the user is told of sections that could not be imported; names
// outside the hook settings are no hook settings, and pass unmentioned.
bool AnyFailed(const ImportReport& report) {
    for (const RefusedSection& section : report.refused) {
        // Sections with nothing the import takes have no item and no word,
        // as ever in the dialog.
        if (section.why != Refusal::kOutsideSettings && section.why != Refusal::kBelowEntry &&
            section.why != Refusal::kEmpty && section.why != Refusal::kNoSettings) {
            return true;
        }
    }
    return false;
}

// Appends the names the import stored that the list does not show yet.
void ListStored(HWND list, const std::vector<std::string>& stored) {
    ListRedrawOff noRedraw(list);
    ListedNames listed(list);
    for (const std::string& name : stored) {
        // A name longer than a list item holds would be read back cut, and
        // act on another key; the list never shows it at start-up either.
        if (name.size() >= static_cast<size_t>(kItemNameSize) || listed.Contains(name.c_str())) {
            continue;
        }
        AppendListItem(list, name.c_str(), LVIF_TEXT, 0);
        listed.Add(name.c_str());
    }
    ApplyColumnWidth(list);
}

// A replace that failed half-way may leave neither file at the path: then
// the user learns where both are.
std::string NotWrittenText(const ExportReport& report) {
    std::string text = "Could not write the export file.";
    if (report.linkTargetUnusable) {
        text += report.error == ERROR_NO_UNICODE_TRANSLATION
                    ? "\r\n\r\nThe chosen file is a link to a file whose path cannot be written "
                      "in this system's code page."
                    : "\r\n\r\nThe chosen file is a link to a file whose path is too long for "
                      "this program.";
    }
    if (!report.earlierFile.empty()) {
        text += "\r\n\r\nYour earlier file is now " + report.earlierFile + "; the new export is " +
                report.newFile + ".";
    }
    return text;
}

}  // namespace

LONG ExportRegistryFile(HWND owner, const char* path) {
    ExportReport report;
    {
        WaitCursor wait;
        report = ExportEntries(path);
    }
    switch (report.outcome) {
    case ExportOutcome::kNoSettings:
        MessageBoxA(owner, "There are no hook settings to export.", kAppTitle, MB_ICONERROR);
        break;
    case ExportOutcome::kSettingsUnreadable:
        MessageBoxA(owner, "Could not read the hook settings.", kAppTitle, MB_ICONERROR);
        break;
    case ExportOutcome::kFileNotWritten:
        MessageBoxA(owner, NotWrittenText(report).c_str(), kAppTitle, MB_ICONERROR);
        break;
    case ExportOutcome::kEveryEntryLeftOut:
        WarnLeftOut(owner, report.leftOut, "Nothing was exported, and the file was left as it was.",
                    MB_ICONERROR);
        break;
    case ExportOutcome::kWritten:
        if (!report.leftOut.empty()) WarnLeftOut(owner, report.leftOut, "", MB_ICONWARNING);
        if (!report.leftBackup.empty()) {
            const std::string text =
                "The export is written, but a copy of your earlier file "
                "could not be deleted: " +
                report.leftBackup;
            MessageBoxA(owner, text.c_str(), kAppTitle, MB_ICONWARNING);
        }
        break;
    }
    return report.error;
}

void ImportRegistryFile(HWND owner, HWND list, const char* path) {
    UniqueBuffer sections;
    DWORD count = 0;
    const LONG status = ReadImportSections(path, &sections, &count);
    // The profile reader takes a missing file for one without sections.
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND &&
        status != ERROR_PATH_NOT_FOUND) {
        if (status != ERROR_NOT_ENOUGH_MEMORY) {
            MessageBoxA(owner, "Could not read the import file.", kAppTitle, MB_ICONERROR);
        }
        return;
    }
    if (count == 0) {
        MessageBoxA(owner, "The file contains no registry settings.", kAppTitle, MB_ICONERROR);
        return;
    }
    const bool replace = MessageBoxA(owner, "Do you want to replace existing hook settings?",
                                     kAppTitle, MB_ICONWARNING | MB_YESNO) == IDYES;
    ImportReport report;
    {
        WaitCursor wait;
        report = ImportSections(sections.get(), path, replace);
        ListStored(list, report.stored);
    }
    if (!report.anyEntry) {
        MessageBoxA(owner, "The file contains no hook settings.", kAppTitle, MB_ICONERROR);
    } else if (AnyFailed(report)) {
        MessageBoxA(owner, "Some hook settings could not be imported.", kAppTitle, MB_ICONERROR);
    }
}
