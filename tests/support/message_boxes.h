// Answers the program's message boxes from a CBT hook on the test's thread
// and records what each one showed.
#pragma once
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;         // MB_ICON* | MB_OK/MB_YESNO/... as seen on the screen
    int answer;         // the button pressed
    bool ownerVisible;  // whether its owner was on the screen when it came up
};

class MessageBoxes {
public:
    MessageBoxes();
    ~MessageBoxes();
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    // Queues the button that the next box gets; without one a box gets
    // IDNO when it has it, else IDOK.
    void Answer(int button) { answers_.push_back(button); }
    const std::vector<ShownBox>& shown() const { return shown_; }
    void Clear() { shown_.clear(); }
    std::vector<std::string> Texts() const;  // of the boxes shown so far

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND box);

    HHOOK hook_ = nullptr;
    std::deque<int> answers_;
    std::vector<ShownBox> shown_;
    std::vector<HWND> seen_;
};
