// What the console program prints. Text is ANSI, as everywhere in the
// program; a console shows it through Unicode, and a file or a pipe gets
// it in the console's output code page (OEM 437 or 850 against ANSI 1252),
// in which scripts read a console program's output. A character that code
// page has no exact form for comes out as [U+XXXX], never as a look-alike.
#pragma once
#include <string>

// One line (the line end is added) on standard output or standard error.
void PrintLine(const std::string& text);
void PrintError(const std::string& text);

// The code page standard output is written in when it is a file or a pipe;
// 0 for a console, which shows every character.
unsigned OutputCodePage();
// Whether `text` comes out on standard output exactly as it is: where it
// would not, a name in it would read as another.
bool OutputHolds(const std::string& text);

// The system's text for a Win32 error, without its line end.
std::string SystemMessage(long error);
