// kmxhooks: the console companion of KMX Hooks Manager, for logon scripts.
// Lists, exports and imports the current user's hook settings with the same
// rules as the dialog, and says what it did in its output and exit status.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console_text.h"
#include "cli/defaults.h"
#include "store/ansi_text.h"

namespace {

constexpr char kUsage[] =
    "Usage:\r\n"
    "  kmxhooks list [--csv]             every entry and its seven values\r\n"
    "  kmxhooks export FILE              writes every entry to a REGEDIT4 file\r\n"
    "  kmxhooks import FILE --add        adds the entries that do not exist yet\r\n"
    "  kmxhooks import FILE --replace    imports every entry of the file over what exists\r\n"
    "  kmxhooks import FILE ... --what-if  says what the import would do, writes nothing\r\n"
    "  kmxhooks defaults                 shows the machine-wide defaults every user gets\r\n"
    "  kmxhooks defaults set FILE        makes FILE the defaults each user gets at logon\r\n"
    "                                    (as administrator, from Program Files)\r\n"
    "  kmxhooks defaults remove          removes them; the users' settings stay\r\n"
    "  kmxhooks --version                the program's version\r\n"
    "  kmxhooks --help                   this text (also /? and -h)\r\n"
    "Options may also be written -add or /add; an argument that begins with / is an option.\r\n"
    "Exit status: 0 done, 1 usage error, 2 nothing done, 3 done in part.";

// An argument as Windows passed it, in Unicode, converted to the ANSI code
// page that every file call of the program uses. `exact` is false where the
// code page has no character for one of the argument's: such a path would
// be opened as another file, with '?' or a look-alike letter in it.
struct Argument {
    std::string ansi;
    bool exact;
};

Argument Convert(const wchar_t* wide) {
    Argument argument = {"", true};
    argument.exact = ToAnsiExactly(wide, &argument.ansi);
    return argument;
}

std::vector<Argument> Arguments() {
    std::vector<Argument> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Convert(list[i]));
    LocalFree(list);
    return arguments;
}

// "--name", "-name" or "/name", in any letter case.
bool IsOption(const std::string& text, const char* name) {
    const char* rest = text.c_str();
    if (rest[0] == '-' && rest[1] == '-') {
        rest += 2;
    } else if (rest[0] == '-' || rest[0] == '/') {
        rest += 1;
    } else {
        return false;
    }
    return lstrcmpiA(rest, name) == 0;
}

bool IsHelp(const std::string& text) {
    return IsOption(text, "help") || IsOption(text, "h") || IsOption(text, "?");
}

// Every argument that begins with "/" is an option, as the platform's tools
// read them (a path is written with a drive letter, backslashes or ".\\"),
// and so is "-" followed by anything.
bool LooksLikeOption(const std::string& text) {
    return (!text.empty() && text[0] == '/') || (text.size() > 1 && text[0] == '-');
}

int UsageError(const std::string& why) {
    PrintError(why);
    PrintError(kUsage);
    return kExitUsage;
}

// The full path of a FILE argument into `path` (MAX_PATH bytes): the profile
// reader looks for a bare name in the Windows folder, not here.
bool FullPath(const Argument& argument, char* path) {
    if (!argument.exact) {
        PrintError(argument.ansi +
                   ": the path cannot be written in this system's code page; "
                   "use a path of other characters");
        return false;
    }
    const DWORD length = GetFullPathNameA(argument.ansi.c_str(), MAX_PATH, path, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        PrintError(argument.ansi + ": the path is too long");
        return false;
    }
    return true;
}

// defaults [set FILE | remove] [--what-if]
int RunDefaults(const std::vector<Argument>& arguments) {
    std::vector<const Argument*> words;
    int whatIfs = 0;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& text = arguments[i].ansi;
        if (IsOption(text, "what-if")) {
            ++whatIfs;
        } else if (LooksLikeOption(text)) {
            return UsageError("Unknown option for defaults: " + text);
        } else {
            words.push_back(&arguments[i]);
        }
    }
    if (whatIfs > 1) return UsageError("--what-if is given twice.");
    if (words.empty()) {
        if (whatIfs == 1) return UsageError("--what-if goes with defaults set or remove.");
        return ShowDefaults();
    }
    const std::string& verb = words[0]->ansi;
    if (lstrcmpiA(verb.c_str(), "remove") == 0) {
        if (words.size() != 1) return UsageError("defaults remove takes nothing more.");
        return RemoveDefaults(whatIfs == 1);
    }
    if (lstrcmpiA(verb.c_str(), "set") != 0) return UsageError("Unknown defaults command: " + verb);
    if (words.size() != 2 || words[1]->ansi.empty()) {
        return UsageError("defaults set needs one FILE.");
    }
    char path[MAX_PATH];
    if (!FullPath(*words[1], path)) return kExitNothingDone;
    return SetDefaults(path, whatIfs == 1);
}

int Run(const std::vector<Argument>& arguments) {
    for (const Argument& argument : arguments) {
        if (IsHelp(argument.ansi)) {
            PrintLine(kUsage);
            return kExitDone;
        }
    }
    if (arguments.empty()) return UsageError("No command given.");
    const std::string& command = arguments[0].ansi;
    if (arguments.size() == 1 && IsOption(command, "version")) return PrintVersion();
    const bool isList = lstrcmpiA(command.c_str(), "list") == 0;
    const bool isExport = lstrcmpiA(command.c_str(), "export") == 0;
    const bool isImport = lstrcmpiA(command.c_str(), "import") == 0;
    if (lstrcmpiA(command.c_str(), "defaults") == 0) return RunDefaults(arguments);
    if (!isList && !isExport && !isImport) return UsageError("Unknown command: " + command);

    const Argument* file = nullptr;
    int adds = 0;
    int replaces = 0;
    int whatIfs = 0;
    int csvs = 0;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& text = arguments[i].ansi;
        if (isImport && IsOption(text, "add")) {
            ++adds;
        } else if (isImport && IsOption(text, "replace")) {
            ++replaces;
        } else if (isImport && IsOption(text, "what-if")) {
            ++whatIfs;
        } else if (isList && IsOption(text, "csv")) {
            ++csvs;
        } else if (LooksLikeOption(text)) {
            return UsageError("Unknown option for " + command + ": " + text);
        } else if (isList || file) {
            return UsageError("Unexpected argument: " + text);
        } else {
            file = &arguments[i];
        }
    }
    if (isList) {
        if (csvs > 1) return UsageError("--csv is given twice.");
        return ListEntries(csvs == 1);
    }
    if (!file) return UsageError(command + " needs a FILE.");
    if (file->ansi.empty()) return UsageError(command + " needs a FILE; an empty one was given.");
    // An unattended overwrite must be asked for by name.
    if (isImport && adds + replaces != 1) {
        return UsageError("import needs exactly one of --add and --replace.");
    }
    if (whatIfs > 1) return UsageError("--what-if is given twice.");
    char path[MAX_PATH];
    if (!FullPath(*file, path)) return kExitNothingDone;
    return isExport ? ExportToFile(path) : ImportFromFile(path, replaces == 1, whatIfs == 1);
}

}  // namespace

int main() { return Run(Arguments()); }
