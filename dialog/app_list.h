// The application list: one report-view column, one item per entry.
#pragma once
#include <windows.h>

#include <set>
#include <string>

// Item data. 0: an entry that has its key (read from the registry, saved,
// or imported).
// An item created by Add New until its name is accepted.
constexpr LPARAM kNewEntryMarker = static_cast<LPARAM>(0xDEADBEEF);
// Accepted from Add New, and no save has created its key yet.
constexpr LPARAM kUnsavedEntry = 0x4E455700;
// A listed name that cannot name its key in this system's code page: the
// program shows no values for it and never writes or deletes through it.
constexpr LPARAM kUnreachableEntry = 0x3F3F3F00;

void SetUpList(HWND list);
void FillList(HWND list);
// Index of the first selected item, -1 when none.
int GetSelectedItem(HWND list);
// The item's text into a buffer of kItemNameSize, always terminated; the
// length, 0 for no name.
int GetItemName(HWND list, int item, char* name);
LPARAM GetItemData(HWND list, int item);
void SetItemData(HWND list, int item, LPARAM data);
// Appends an item at the end; its index or -1.
int AppendListItem(HWND list, const char* text, UINT mask, LPARAM data);
// Whole-text match without regard to case; the index or -1.
int FindListItem(HWND list, const char* text);
// Column 0 fills the client area less 2 pixels.
void ApplyColumnWidth(HWND list);

// The names a list shows, to find one without a list search each time.
// Names match as the list's own whole-text search matches them: without
// regard to case.
class ListedNames {
public:
    explicit ListedNames(HWND list);
    bool Contains(const char* name) const { return names_.count(name) != 0; }
    void Add(const char* name) { names_.insert(name); }

private:
    struct IgnoringCase {
        bool operator()(const std::string& a, const std::string& b) const {
            return lstrcmpiA(a.c_str(), b.c_str()) < 0;
        }
    };
    std::set<std::string, IgnoringCase> names_;
};
