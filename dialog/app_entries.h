// Adding and deleting application entries from the list.
#pragma once
#include <windows.h>
#include <commctrl.h>

void AddNewEntry();
void DeleteEntry(int item, bool skipConfirmation);
// False when the name cannot be accepted; tells the user why where that helps.
bool ValidateEntryName(const char* text);

void OnBeginLabelEdit(const NMLVDISPINFOA* info);
void OnEndLabelEdit(const NMLVDISPINFOA* info);
void OnListKeyDown(const NMLVKEYDOWN* key);
