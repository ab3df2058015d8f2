// The application list: one report-view column, one item per entry.
#pragma once
#include <windows.h>

// Item data of an item created by Add New until its name is accepted.
constexpr LPARAM kNewEntryMarker = static_cast<LPARAM>(0xDEADBEEF);

void SetUpList(HWND list);
void FillList(HWND list);
// Index of the first selected item, -1 when none.
int GetSelectedItem(HWND list);
// The item's text into a buffer of kItemNameSize; the length, 0 for no name.
int GetItemName(HWND list, int item, char* name);
// Appends an item at the end; its index or -1.
int AppendListItem(HWND list, const char* text, UINT mask, LPARAM data);
// Whole-text match without regard to case; the index or -1.
int FindListItem(HWND list, const char* text);
// Column 0 fills the client area less 2 pixels.
void ApplyColumnWidth(HWND list);
