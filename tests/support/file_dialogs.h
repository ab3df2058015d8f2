// Drives the real common file dialogs: sees what the program handed to the
// platform (as its hook sees it at CDN_INITDONE), where the dialog was
// placed, and then chooses a file or cancels, as queued by the test.
#pragma once
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct FileDialogVisit {
    DWORD structSize = 0;
    DWORD flags = 0;
    HWND owner = nullptr;
    std::vector<std::string> filter;  // the strings of lpstrFilter
    std::string defaultExtension;
    std::string initialFile;
    DWORD maxFile = 0;
    DWORD filterIndex = 0;
    bool hasHook = false;
    RECT placed = {};          // the visible dialog once shown
    int typeSelection = -1;    // the file type list's selection once shown
    bool hookResized = false;  // the program's hook changed the dialog's size
};

class FileDialogs {
public:
    FileDialogs();
    ~FileDialogs();
    FileDialogs(const FileDialogs&) = delete;
    FileDialogs& operator=(const FileDialogs&) = delete;

    // Types `name` into the file name field and presses OK. A `move` other
    // than (-1, -1) first puts the dialog's top-left corner there. A `grow`
    // enlarges it as it closes, unseen by the platform's dialog (Wine's
    // keeps its own last size): the program's hook then records a size that
    // the platform will not open the next dialog with.
    void Choose(const std::string& name, POINT move = {-1, -1}, SIZE grow = {0, 0}) {
        actions_.push_back({name, move, false, grow});
    }
    void Cancel(POINT move = {-1, -1}) { actions_.push_back({"", move, true, {0, 0}}); }
    const std::vector<FileDialogVisit>& visits() const { return visits_; }

private:
    struct Action {
        std::string name;
        POINT move;
        bool cancel = false;
        SIZE grow = {0, 0};
    };
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ChildSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DialogSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK Act(HWND, UINT, UINT_PTR timer, DWORD);

    HHOOK hook_ = nullptr;
    std::deque<Action> actions_;
    std::vector<FileDialogVisit> visits_;
    HWND dialog_ = nullptr;  // the file dialog on the screen
    WNDPROC childProc_ = nullptr;
    WNDPROC dialogProc_ = nullptr;
    bool inHook_ = false;  // the program's hook is handling CDN_INITDONE
    SIZE growAtClose_ = {0, 0};
    bool hidingGrowth_ = false;
    size_t pendingVisit_ = 0;
};
