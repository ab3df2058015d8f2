// Help popups for the application list and the seven check boxes.
#pragma once
#include <windows.h>

void ShowControlHelp(const HELPINFO* help);
