// probe.exe: what the end-to-end tests read of the running program from
// outside, the way an accessibility tool would. One query per run:
//   probe rect ID        screen rectangle of a control of the main dialog
//   probe item N         screen rectangle of list item N
//   probe state          list items, selection, focus, check boxes
//   probe box            text of the program's message box, if one is up
//   probe window CLASS   screen rectangle of a visible window of that class
//   probe hold-mutex S   holds the server's mutex for S seconds
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

HWND g_found = nullptr;

// WM_GETTEXT to another process's window, never waiting on a busy one: a
// program still starting up would otherwise hang the probe.
void TextOf(HWND window, char* text, int size) {
    text[0] = '\0';
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, static_cast<WPARAM>(size),
                             reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 500, &copied)) {
        text[0] = '\0';
    }
    text[size - 1] = '\0';
}

BOOL CALLBACK FindMainDialog(HWND window, LPARAM) {
    char cls[16] = "", title[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    TextOf(window, title, sizeof(title));
    if (!strcmp(cls, "#32770") && !strcmp(title, "KMX Hooks Manager") && GetDlgItem(window, 1010) &&
        IsWindowVisible(window)) {
        g_found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM) {
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (!strcmp(cls, "#32770") && GetDlgItem(window, 0xFFFF) && !GetDlgItem(window, 1010) &&
        !GetDlgItem(window, 0x480) && IsWindowVisible(window)) {
        g_found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindByClass(HWND window, LPARAM name) {
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (!strcmp(cls, reinterpret_cast<const char*>(name)) && IsWindowVisible(window)) {
        g_found = window;
        return FALSE;
    }
    return TRUE;
}

HWND MainDialog() {
    g_found = nullptr;
    EnumWindows(FindMainDialog, 0);
    return g_found;
}

void PrintRect(const RECT& r) { printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom); }

// Runs a list view message whose argument must live in the program's memory.
template <typename T>
bool RemoteCall(HWND list, UINT message, WPARAM wParam, T* local, char* text, int textSize) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    const SIZE_T size = sizeof(T) + static_cast<SIZE_T>(textSize);
    BYTE* remote =
        static_cast<BYTE*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    bool ok = remote != nullptr;
    if (ok) {
        if (text) {
            reinterpret_cast<LVITEMA*>(local)->pszText =
                reinterpret_cast<char*>(remote + sizeof(T));
        }
        WriteProcessMemory(process, remote, local, sizeof(T), nullptr);
        SendMessageA(list, message, wParam, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, local, sizeof(T), nullptr);
        if (text) ReadProcessMemory(process, remote + sizeof(T), text, textSize, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

int Rect(int id) {
    HWND dialog = MainDialog();
    if (!dialog || !GetDlgItem(dialog, id)) return 1;
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    PrintRect(r);
    return 0;
}

int Item(int index) {
    HWND dialog = MainDialog();
    if (!dialog) return 1;
    HWND list = GetDlgItem(dialog, 1010);
    RECT r = {};
    r.left = LVIR_LABEL;
    if (!RemoteCall(list, LVM_GETITEMRECT, index, &r, nullptr, 0)) return 1;
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
    PrintRect(r);
    return 0;
}

int State() {
    HWND dialog = MainDialog();
    if (!dialog) return 1;
    HWND list = GetDlgItem(dialog, 1010);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.cchTextMax = 260;
        char text[260] = "";
        RemoteCall(list, LVM_GETITEMTEXTA, i, &item, text, sizeof(text));
        printf("item %s\n", text);
    }
    printf("selected %d\n", static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM,
                                                          static_cast<WPARAM>(-1), LVNI_SELECTED)));
    printf("editing %d\n", SendMessageA(list, LVM_GETEDITCONTROL, 0, 0) != 0 ? 1 : 0);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
    printf("focus %d\n", gui.hwndFocus ? GetDlgCtrlID(gui.hwndFocus) : 0);
    printf("active %d\n", gui.hwndActive == dialog ? 1 : 0);
    printf("boxes");
    for (int id = 1011; id <= 1017; ++id) {
        HWND box = GetDlgItem(dialog, id);
        const LRESULT check = SendMessageA(box, BM_GETCHECK, 0, 0);
        printf(" %s", IsWindowEnabled(box) ? (check ? "1" : "0") : "-");
    }
    printf("\n");
    return 0;
}

int Box() {
    g_found = nullptr;
    EnumWindows(FindMessageBox, 0);
    if (!g_found) return 1;
    char text[1024] = "";
    TextOf(GetDlgItem(g_found, 0xFFFF), text, sizeof(text));
    printf("%s\n", text);
    return 0;
}

int Window(const char* cls) {
    g_found = nullptr;
    EnumWindows(FindByClass, reinterpret_cast<LPARAM>(cls));
    if (!g_found) return 1;
    RECT r;
    GetWindowRect(g_found, &r);
    char title[256] = "";
    TextOf(g_found, title, sizeof(title));
    printf("%ld %ld %ld %ld %s\n", r.left, r.top, r.right, r.bottom, title);
    return 0;
}

int HoldMutex(int seconds) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Dravik_Win32_Instance_Mutex");
    printf("holding\n");
    fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    CloseHandle(mutex);
    return 0;
}

// Starts the command line `line` as Active Setup starts a StubPath at logon:
// the whole text to CreateProcess, no shell; its exit code.
int RunCommandLine(const char* line) {
    std::string text = line;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &text[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 255;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string what = argv[1];
    const char* arg = argc > 2 ? argv[2] : "";
    if (what == "rect") return Rect(atoi(arg));
    if (what == "item") return Item(atoi(arg));
    if (what == "state") return State();
    if (what == "box") return Box();
    if (what == "window") return Window(arg);
    if (what == "hold-mutex") return HoldMutex(atoi(arg));
    if (what == "run") return RunCommandLine(arg);
    return 2;
}
