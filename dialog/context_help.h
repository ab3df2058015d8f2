// Help popups for the application list and the seven check boxes.
#pragma once
#include <windows.h>

// Shows the help text of the control the request is for; ids outside the
// list and the check boxes show nothing.
void ShowControlHelp(const HELPINFO* help);

// The HTML Help control's file as the registry names it (expanded when
// stored expandable), into a buffer of MAX_PATH bytes; 1 when found.
int FindHtmlHelpControl(char* path);
