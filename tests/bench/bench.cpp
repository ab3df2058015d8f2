// A benchmark, not a test: for 100, 1,000 and 5,000 application entries,
// the time from process start to the filled list, one export, and one import
// of that export answered Yes and No, beside the platform's own `reg export`
// and `regedit /s` on the same data, all in one run. It works on the real
// HKEY_CURRENT_USER of the Wine prefix it runs in (make bench gives it one
// of its own).
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <string>

#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "exchange/export_file.h"
#include "exchange/import_file.h"
#include "res/resource.h"
#include "store/hook_settings.h"
#include "support/message_boxes.h"
#include "support/programs.h"
#include "support/temp_folder.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Beside(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

void WriteSeed(const std::string& path, int entries) {
    std::string text = "REGEDIT4\r\n";
    for (int i = 0; i < entries; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "app%05d.exe", i);
        text += "\r\n[HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\";
        text += name;
        text += "]\r\n";
        for (int s = 0; s < kHookSettingCount; ++s) {
            text += std::string("\"") + kHookSettings[s].valueName + "\"=dword:0000000" +
                    static_cast<char>('0' + (i + s) % 2) + "\r\n";
        }
    }
    WriteFileBytes(path, text + "\r\n");
}

HWND g_list = nullptr;
BOOL CALLBACK FindList(HWND window, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(pid) && GetDlgItem(window, IDC_APPLIST)) {
        g_list = GetDlgItem(window, IDC_APPLIST);
        return FALSE;
    }
    return TRUE;
}

// Seconds from CreateProcess of the program to a list holding every entry.
double StartToFilledList(int entries) {
    std::string line = "\"" + Beside("KMXHooksManager.exe") + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const double start = Now();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    double filled = -1;
    while (Now() - start < 120) {
        g_list = nullptr;
        EnumWindows(FindList, static_cast<LPARAM>(process.dwProcessId));
        if (g_list && SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0) == entries) {
            filled = Now() - start;
            PostMessageA(GetParent(g_list), WM_COMMAND, IDCANCEL, 0);
            break;
        }
        Sleep(1);
    }
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return filled;
}

double Timed(const std::string& commandLine) {
    const double start = Now();
    RunProgram(commandLine);
    return Now() - start;
}

}  // namespace

int main() {
    g_dialog.instance = GetModuleHandleA(nullptr);
    InitCommonControls();
    TempFolder folder;
    const std::string seed = folder.File("seed.reg");
    const std::string exported = folder.File("export.reg");
    const std::string platform = folder.File("reg-export.reg");

    printf(
        "| entries | start to filled list | export | `reg export` | ratio | import, Yes | "
        "import, No | `regedit /s` | ratio Yes | ratio No |\n");
    printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int entries : {100, 1000, 5000}) {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
        WriteSeed(seed, entries);
        RunProgram("regedit.exe /s \"" + seed + "\"");

        const double list = StartToFilledList(entries);
        double start = Now();
        ExportRegistryFile(nullptr, exported.c_str());
        const double exportTime = Now() - start;
        const double regExport =
            Timed("reg.exe export HKCU\\Software\\QBL\\KMXHooks\\Application_Prefs \"" + platform +
                  "\" /y");

        HWND dialog = CreateDialogParamA(g_dialog.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                         MainDialogProc, 0);
        HWND listView = GetDlgItem(dialog, IDC_APPLIST);
        double importYes, importNo;
        {
            MessageBoxes boxes;
            boxes.Answer(IDYES);
            start = Now();
            ImportRegistryFile(dialog, listView, exported.c_str());
            importYes = Now() - start;
            boxes.Answer(IDNO);
            start = Now();
            ImportRegistryFile(dialog, listView, exported.c_str());
            importNo = Now() - start;
        }
        DestroyWindow(dialog);
        const double regedit = Timed("regedit.exe /s \"" + exported + "\"");

        printf(
            "| %d | %.2f s | %.3f s | %.3f s | %.2f | %.2f s | %.3f s | %.3f s | %.2f | %.2f |\n",
            entries, list, exportTime, regExport, exportTime / regExport, importYes, importNo,
            regedit, importYes / regedit, importNo / regedit);
        fflush(stdout);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    return 0;
}
