// Points the program's HTML Help loader at a control of the test's choice:
// a private key mapped over HKEY_CLASSES_ROOT holds the control's CLSID.
#pragma once
#include <windows.h>

#include <string>

#include "help_standin/standin.h"

class HelpControlSandbox {
public:
    HelpControlSandbox();  // needs the HKEY_CURRENT_USER sandbox in place
    ~HelpControlSandbox();
    HelpControlSandbox(const HelpControlSandbox&) = delete;
    HelpControlSandbox& operator=(const HelpControlSandbox&) = delete;

    void PointAt(const std::string& path, DWORD type = REG_SZ);  // the control's file
    void Forget();                                               // no CLSID key at all
};

// A file next to the test program.
std::string BesideTests(const std::string& name);

// The stand-in's record, once it is loaded into this process.
int StandInCalls();
const StandInCall* StandInCallAt(int index);
void StandInReturns(HWND result);

// The program's own help popup, or NULL.
HWND FallbackPopup();
