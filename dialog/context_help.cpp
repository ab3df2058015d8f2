#include "dialog/context_help.h"

void ShowControlHelp(const HELPINFO*) {}
