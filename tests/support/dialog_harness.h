// A fixture that creates the real main dialog from its template with the
// real dialog procedure, in a private registry area, and drives it the way
// the list view and the user do.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/message_boxes.h"
#include "support/registry_sandbox.h"

// A check box as the user sees it: 0 or 1 when enabled, kDisabled when
// disabled and cleared, kDisabledChecked (a fault) when disabled but checked.
constexpr int kDisabled = -1;
constexpr int kDisabledChecked = -2;

class DialogTest : public ::testing::Test {
protected:
    void TearDown() override;

    void Open();   // WM_INITDIALOG runs here
    void Close();  // DestroyWindow: WM_DESTROY runs here

    void Select(int item);  // gives the item selection and focus
    void Deselect(int item);
    void Click(int controlId);  // BM_CLICK, as a mouse click would
    void Command(WORD id, WORD code = 0);
    void Pump();  // runs what was posted to this thread
    std::vector<int> Panel() const;
    std::vector<std::string> Items() const;
    LPARAM ItemData(int item) const;
    int Selected() const;
    int Focused() const;
    int ColumnWidth() const;
    int ExpectedColumnWidth() const;
    std::vector<std::string> Texts() const;  // of the message boxes shown so far

    RegistrySandbox registry;
    MessageBoxes boxes;
    HWND dialog = nullptr;
    HWND list = nullptr;
};

std::string ItemText(HWND list, int item);
