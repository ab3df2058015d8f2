#include "dialog/help_popup.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "store/handles.h"

const char kHelpPopupClass[] = "KMXHooksHelpPopup";

namespace {

// One popup at a time; it owns the font it draws with.
struct Popup {
    HWND window = nullptr;
    UniqueFont font;
    COLORREF text = 0;
    COLORREF background = 0;
    RECT margins = {};
    HWND returnFocus = nullptr;  // where the keyboard was before the popup
};
Popup g_popup;

std::string LoadText(HINSTANCE instance, UINT id) {
    std::string text(256, '\0');
    for (;;) {
        const int length = LoadStringA(instance, id, &text[0], static_cast<int>(text.size()));
        if (length < static_cast<int>(text.size()) - 1) {
            text.resize(length > 0 ? static_cast<size_t>(length) : 0);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// "Face, points, charset, attributes"; only face and points are used.
HFONT CreatePopupFont(const char* description) {
    std::string text = description ? description : "";
    const size_t comma = text.find(',');
    const std::string face = text.substr(0, comma);
    int points = comma == std::string::npos ? 8 : atoi(text.c_str() + comma + 1);
    if (points <= 0) points = 8;
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face.c_str());
}

void Close() {
    if (g_popup.window) DestroyWindow(g_popup.window);
}

// Closed by the user: the dialog becomes active again, so its focused
// control gets the keyboard back. Activating it deactivates the popup,
// which closes it on the way.
void Dismiss(HWND popup) {
    HWND owner = GetWindow(popup, GW_OWNER);
    HWND focus = g_popup.returnFocus;
    if (owner && GetActiveWindow() == popup) {
        SetForegroundWindow(owner);
        // The dialog does not always get its focus back by itself on Wine.
        if (focus && IsWindow(focus) && GetAncestor(focus, GA_ROOT) == owner) SetFocus(focus);
    }
    Close();
}

LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        UniqueBrush brush(CreateSolidBrush(g_popup.background));
        FillRect(dc, &area, brush.get());
        area.left += g_popup.margins.left;
        area.top += g_popup.margins.top;
        area.right -= g_popup.margins.right;
        area.bottom -= g_popup.margins.bottom;
        HGDIOBJ old = SelectObject(dc, g_popup.font.get());
        SetTextColor(dc, g_popup.text);
        SetBkMode(dc, TRANSPARENT);
        char text[2048];
        GetWindowTextA(window, text, sizeof(text));
        DrawTextA(dc, text, -1, &area, DT_LEFT | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        Dismiss(window);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) Close();
        return 0;
    case WM_DESTROY:
        g_popup.window = nullptr;
        g_popup.font.reset();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterPopupClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, kHelpPopupClass, &wc)) return true;
    wc.style = CS_DROPSHADOW | CS_SAVEBITS;
    wc.lpfnWndProc = PopupProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.lpszClassName = kHelpPopupClass;
    return RegisterClassA(&wc) != 0;
}

// The popup's size for the text in the popup's font, margins included.
SIZE MeasureText(const std::string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, g_popup.font.get());
    RECT bounds = {0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), -1, &bounds, DT_LEFT | DT_NOPREFIX | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int border = 2 * GetSystemMetrics(SM_CXBORDER);
    return {bounds.right + g_popup.margins.left + g_popup.margins.right + border,
            bounds.bottom + g_popup.margins.top + g_popup.margins.bottom + border};
}

// Below the control for F1, at the cursor otherwise; always inside the
// work area of the monitor it lands on.
POINT PlacePopup(HWND control, POINT cursor, SIZE size) {
    POINT at = cursor;
    RECT rc;
    if ((GetKeyState(VK_F1) & 0x8000) && GetWindowRect(control, &rc)) {
        at.x = rc.left;
        at.y = rc.bottom + 2;
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    if (at.x + size.cx > work.right) at.x = work.right - size.cx;
    if (at.y + size.cy > work.bottom) at.y = work.bottom - size.cy;
    if (at.x < work.left) at.x = work.left;
    if (at.y < work.top) at.y = work.top;
    return at;
}

}  // namespace

void ShowHelpPopup(HWND control, const HH_POPUP& popup, POINT cursor) {
    Close();
    const std::string text = popup.pszText ? popup.pszText : LoadText(popup.hinst, popup.idString);
    if (text.empty() || !RegisterPopupClass(popup.hinst)) return;

    g_popup.font.reset(CreatePopupFont(popup.pszFont));
    // -1 asks for the defaults: the system's tooltip colours.
    g_popup.text = popup.clrForeground == static_cast<COLORREF>(-1) ? GetSysColor(COLOR_INFOTEXT)
                                                                    : popup.clrForeground;
    g_popup.background = popup.clrBackground == static_cast<COLORREF>(-1)
                             ? GetSysColor(COLOR_INFOBK)
                             : popup.clrBackground;
    g_popup.margins = popup.rcMargins;
    const SIZE size = MeasureText(text);
    const POINT at = PlacePopup(control, cursor, size);
    HWND owner = GetAncestor(control, GA_ROOT);
    g_popup.returnFocus = GetFocus();
    g_popup.window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kHelpPopupClass,
                                     text.c_str(), WS_POPUP | WS_BORDER, at.x, at.y, size.cx,
                                     size.cy, owner, nullptr, popup.hinst, nullptr);
    if (!g_popup.window) {
        g_popup.font.reset();
        return;
    }
    ShowWindow(g_popup.window, SW_SHOW);
    SetForegroundWindow(g_popup.window);
    SetFocus(g_popup.window);
}
