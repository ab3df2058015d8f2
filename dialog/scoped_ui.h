// Passing states of the user interface, undone however the scope is left.
#pragma once
#include <windows.h>

// The wait cursor while an import or an export runs; the cursor before it
// comes back afterwards.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// The list draws nothing while many items go in (each insert would repaint
// it) and is repainted once afterwards.
class ListRedrawOff {
public:
    explicit ListRedrawOff(HWND list) : list_(list) { SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ~ListRedrawOff() {
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        // InvalidateRect would leave the border unpainted.
        RedrawWindow(list_, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    ListRedrawOff(const ListRedrawOff&) = delete;
    ListRedrawOff& operator=(const ListRedrawOff&) = delete;

private:
    HWND list_;
};
