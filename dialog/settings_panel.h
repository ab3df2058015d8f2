// The seven check boxes that show and edit the selected entry's flags.
#pragma once
#include <windows.h>
#include <commctrl.h>

void SetCheckBox(int controlId, DWORD value);
// `item` is a list index or -1 for none.
void LoadPanel(int item);
void SavePanel(int item);
void ResetPanel(int item);
void OnListItemChanged(const NMLISTVIEW* change);
