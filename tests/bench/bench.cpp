// A benchmark, not a test: for 100, 1,000 and 5,000 application entries,
// what a user waits for (start to the filled list, an export, imports of
// that export answered Yes and No, and the console program's export and
// imports), beside the platform's own `reg export`, `regedit /s` and
// `reg import` on the same data and the profile reader's own floor, all
// in one run. It works on the real
// HKEY_CURRENT_USER of the Wine prefix it runs in (make bench gives it one
// of its own).
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog/dialog_state.h"
#include "dialog/main_dialog.h"
#include "dialog/exchange_commands.h"
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

// Whole seconds of a program's run, its start included; a console
// program's output is thrown away, so that it stays out of the tables.
double Timed(const std::string& commandLine, bool quiet = false) {
    const double start = Now();
    RunProgram(commandLine, quiet);
    return Now() - start;
}

// The question box of an import is the user's time, not the program's: a
// CBT hook notes when the box starts to be made and when it has gone (its
// WM_NCDESTROY), so that what is timed is the wait before the question and
// the wait after the answer, not the box's own making and unmaking.
double g_boxMade = 0;
double g_boxGone = 0;
WNDPROC g_boxProc = nullptr;
LRESULT CALLBACK BoxSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcA(g_boxProc, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) g_boxGone = Now();
    return result;
}
LRESULT CALLBACK BoxTimes(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && g_boxMade == 0) {
        char name[16] = "";
        GetClassNameA(window, name, sizeof(name));
        if (lstrcmpA(name, "#32770") == 0) g_boxMade = Now();
    }
    if (code == HCBT_ACTIVATE && GetDlgItem(window, 0xFFFF) && !g_boxProc) {
        g_boxProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxSpy)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Seconds the user waits for an import answered `answer`, into `dialog`.
double ImportWait(HWND dialog, const std::string& file, int answer) {
    MessageBoxes boxes;
    boxes.Answer(answer);
    HHOOK hook = SetWindowsHookExA(WH_CBT, BoxTimes, nullptr, GetCurrentThreadId());
    g_boxMade = g_boxGone = 0;
    g_boxProc = nullptr;
    const double start = Now();
    ImportRegistryFile(dialog, GetDlgItem(dialog, IDC_APPLIST), file.c_str());
    const double end = Now();
    UnhookWindowsHookEx(hook);
    return (g_boxMade - start) + (end - g_boxGone);
}

HWND ShownDialog() {
    HWND dialog = CreateDialogParamA(g_dialog.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                     MainDialogProc, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return dialog;
}

// The platform's profile reader alone, as the import uses it: the section
// list, then one read of every section's lines.
double ReaderFloor(const std::string& file) {
    const double start = Now();
    std::string sections(0x100000, '\0');
    GetPrivateProfileStringA(nullptr, nullptr, nullptr, &sections[0],
                             static_cast<DWORD>(sections.size()), file.c_str());
    std::vector<char> lines(1024);
    for (const char* name = sections.c_str(); *name; name += strlen(name) + 1) {
        GetPrivateProfileSectionA(name, lines.data(), static_cast<DWORD>(lines.size()),
                                  file.c_str());
    }
    return Now() - start;
}

const char kSettings[] = "HKCU\\Software\\QBL\\KMXHooks\\Application_Prefs";

// Timings here vary by a quarter from run to run (the profile reader most),
// so every figure is the median of a few runs taken in this one.
const int kRuns = 3;
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
template <typename Measure>
double Median(int runs, Measure measure) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(measure());
    return Median(times);
}

}  // namespace

int main() {
    g_dialog.instance = GetModuleHandleA(nullptr);
    InitCommonControls();
    TempFolder folder;
    const std::string seed = folder.File("seed.reg");
    const std::string exported = folder.File("export.reg");
    const std::string platform = folder.File("reg-export.reg");
    const std::string empty = folder.File("reg-empty.reg");
    HKEY emptyKey = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KMXBenchEmpty", &emptyKey);
    RegCloseKey(emptyKey);

    struct Row {
        int entries;
        double list, exportTime, regExport, regStart, importNew, importExisting, importNo, regedit,
            floor, newOverFloor, cliExport, cliReplace, cliAddNew, cliAddExisting, regImport;
    };
    const std::string console = "\"" + Beside("kmxhooks.exe") + "\"";
    const std::string cliExported = folder.File("cli-export.reg");
    std::vector<Row> rows;
    for (int entries : {100, 1000, 5000}) {
        Row row = {};
        row.entries = entries;
        WriteSeed(seed, entries);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
        RunProgram("regedit.exe /s \"" + seed + "\"");
        row.list = Median(kRuns, [entries]() { return StartToFilledList(entries); });
        row.exportTime = Median(kRuns, [&exported]() {
            const double start = Now();
            ExportRegistryFile(nullptr, exported.c_str());
            return Now() - start;
        });
        row.regExport = Median(kRuns, [&platform]() {
            return Timed(std::string("reg.exe export ") + kSettings + " \"" + platform + "\" /y");
        });
        // reg.exe's own start: the same command on a key with nothing in it.
        row.regStart = Median(kRuns, [&empty]() {
            return Timed("reg.exe export HKCU\\Software\\KMXBenchEmpty \"" + empty + "\" /y");
        });

        HWND dialog = ShownDialog();  // lists every entry
        row.importExisting = Median(kRuns, [&]() { return ImportWait(dialog, exported, IDYES); });
        row.importNo = Median(kRuns, [&]() { return ImportWait(dialog, exported, IDNO); });
        DestroyWindow(dialog);

        // The import of new entries and the reader's floor are taken in pairs,
        // one right after the other, and compared pair by pair: the reader's
        // speed drifts between runs far more than within a pair.
        std::vector<double> news, floors, ratios;
        for (int i = 0; i < kRuns; ++i) {
            floors.push_back(ReaderFloor(exported));
            RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
            HWND fresh = ShownDialog();  // an empty list that the import fills
            news.push_back(ImportWait(fresh, exported, IDYES));
            DestroyWindow(fresh);
            ratios.push_back(news.back() / floors.back());
        }
        row.importNew = Median(news);
        row.floor = Median(floors);
        row.newOverFloor = Median(ratios);
        // Into a registry without the entries.
        auto intoEmpty = [&](const std::string& commandLine, bool quiet) {
            return Median(kRuns, [&]() {
                RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
                return Timed(commandLine, quiet);
            });
        };
        row.regedit = intoEmpty("regedit.exe /s \"" + exported + "\"", false);
        row.regImport = intoEmpty("reg.exe import \"" + exported + "\"", false);
        // The console program, as a logon script runs it.
        row.cliReplace = intoEmpty(console + " import \"" + exported + "\" --replace", true);
        row.cliAddNew = intoEmpty(console + " import \"" + exported + "\" --add", true);
        // Every logon after the first: each entry of the file is there.
        row.cliAddExisting = Median(
            kRuns, [&]() { return Timed(console + " import \"" + exported + "\" --add", true); });
        row.cliExport = Median(
            kRuns, [&]() { return Timed(console + " export \"" + cliExported + "\"", true); });
        rows.push_back(row);
        fprintf(stderr, "%d entries measured\n", entries);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KMXBenchEmpty");

    printf(
        "\n| entries | start to filled list | export | `reg export` | `reg export` less its start "
        "| export / `reg export` | export / less its start |\n"
        "|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& r : rows) {
        const double lessStart = r.regExport - r.regStart;
        printf("| %d | %.3f s | %.3f s | %.3f s | %.3f s | %.2f | %.2f |\n", r.entries, r.list,
               r.exportTime, r.regExport, lessStart, r.exportTime / r.regExport,
               r.exportTime / lessStart);
    }
    printf(
        "\n| entries | import Yes, new entries | import Yes, existing | import No | `regedit /s` "
        "| reader's floor | Yes new / floor | No / `regedit /s` |\n"
        "|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& r : rows) {
        printf("| %d | %.3f s | %.3f s | %.3f s | %.3f s | %.3f s | %.2f | %.2f |\n", r.entries,
               r.importNew, r.importExisting, r.importNo, r.regedit, r.floor, r.newOverFloor,
               r.importNo / r.regedit);
    }
    printf(
        "\n| entries | `kmxhooks import --add`, existing | `--add`, new | `--replace`, new "
        "| `regedit /s` | `reg import` | `--add` existing / `reg import` | `--add` new / `reg "
        "import` | `kmxhooks export` | export / `reg export` |\n"
        "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& r : rows) {
        printf(
            "| %d | %.3f s | %.3f s | %.3f s | %.3f s | %.3f s | %.2f | %.2f | %.3f s | %.2f |\n",
            r.entries, r.cliAddExisting, r.cliAddNew, r.cliReplace, r.regedit, r.regImport,
            r.cliAddExisting / r.regImport, r.cliAddNew / r.regImport, r.cliExport,
            r.cliExport / r.regExport);
    }
    return 0;
}
