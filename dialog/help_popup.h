// The program's own help popup, for when the HTML Help control shows none.
#pragma once
#include <windows.h>
#include <htmlhelp.h>

// Shows the string `popup.idString` of `popup.hinst` next to `control`:
// below it when F1 asked, at `cursor` for the caption's help button. Any
// click or key, or another window becoming active, closes it.
void ShowHelpPopup(HWND control, const HH_POPUP& popup, POINT cursor);

// The window class of the popup, for whoever needs to find it.
extern const char kHelpPopupClass[];
