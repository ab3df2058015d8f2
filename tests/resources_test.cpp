// The resources of the shipped program, read from KMXHooksManager.exe itself.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/handles.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string ProgramPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1) + "KMXHooksManager.exe";
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        module.reset(LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module.valid()) << ProgramPath();
    }
    // The resource's bytes in US English; empty when there is none.
    std::vector<BYTE> Resource(LPCSTR type, int id) {
        HRSRC found = FindResourceExA(module.get(), type, MAKEINTRESOURCEA(id), kEnglishUs);
        if (!found) return {};
        const BYTE* data =
            static_cast<const BYTE*>(LockResource(LoadResource(module.get(), found)));
        return std::vector<BYTE>(data, data + SizeofResource(module.get(), found));
    }
    UniqueModule module;
};

// Reads a dialog-template stream: words, dwords, strings and ordinals.
struct Reader {
    const BYTE* p;
    WORD Word() {
        WORD w;
        memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        memcpy(&d, p, 4);
        p += 4;
        return d;
    }
    std::string Text() {
        std::string s;
        for (WORD c; (c = Word()) != 0;) s += static_cast<char>(c);
        return s;
    }
    // A string, or a class ordinal turned into its name.
    std::string TextOrOrdinal() {
        WORD first;
        memcpy(&first, p, 2);
        if (first != 0xFFFF) return Text();
        p += 2;
        switch (Word()) {
        case 0x80:
            return "Button";
        case 0x81:
            return "Edit";
        case 0x82:
            return "Static";
        default:
            return "?";
        }
    }
    void Align(const BYTE* base) {
        while ((p - base) % 4) ++p;
    }
};

struct Control {
    int id;
    std::string cls, text;
    short x, y, cx, cy;
    DWORD style;
    bool operator==(const Control& o) const {
        return id == o.id && _stricmp(cls.c_str(), o.cls.c_str()) == 0 && text == o.text &&
               x == o.x && y == o.y && cx == o.cx && cy == o.cy && style == o.style;
    }
};

void PrintTo(const Control& c, std::ostream* os) {
    *os << c.id << " " << c.cls << " \"" << c.text << "\" " << c.x << "," << c.y << "," << c.cx
        << "," << c.cy << " style 0x" << std::hex << c.style;
}

TEST_F(ResourcesTest, MainDialogTemplate) {
    const std::vector<BYTE> bytes = Resource(RT_DIALOG, 201);
    ASSERT_FALSE(bytes.empty());
    Reader r{bytes.data()};
    ASSERT_EQ(1, r.Word());  // DIALOGEX
    ASSERT_EQ(0xFFFF, r.Word());
    r.Dword();                 // help id
    EXPECT_EQ(0u, r.Dword());  // no extended style
    EXPECT_EQ(0x80C82848u, r.Dword());
    const WORD count = r.Word();
    const short x = r.Word(), y = r.Word(), cx = r.Word(), cy = r.Word();
    EXPECT_EQ((std::vector<short>{0, 0, 215, 162}), (std::vector<short>{x, y, cx, cy}));
    EXPECT_EQ("", r.TextOrOrdinal());  // no menu
    EXPECT_EQ("", r.TextOrOrdinal());  // the standard dialog class
    EXPECT_EQ("KMX Hooks Manager", r.Text());
    EXPECT_EQ(8, r.Word());
    r.Word();  // weight
    r.Word();  // italic, charset
    EXPECT_EQ("MS Shell Dlg", r.Text());

    std::vector<Control> controls;
    for (int i = 0; i < count; ++i) {
        r.Align(bytes.data());
        Control c;
        r.Dword();
        r.Dword();
        c.style = r.Dword();
        c.x = r.Word();
        c.y = r.Word();
        c.cx = r.Word();
        c.cy = r.Word();
        c.id = static_cast<int>(r.Dword());
        c.cls = r.TextOrOrdinal();
        c.text = r.TextOrOrdinal();
        r.p += r.Word();
        controls.push_back(c);
    }
    const std::vector<Control> expected = {
        {-1, "Static", "Applications:", 7, 5, 90, 8, 0x50020000},
        {1010, "SysListView32", "", 7, 16, 90, 120, 0x5081420D},
        {-1, "Button", "KMX Hook Settings", 105, 12, 101, 124, 0x50000007},
        {1011, "Button", "Get Update &Regions", 115, 27, 84, 10, 0x50010003},
        {1012, "Button", "Use &Timer updates", 115, 42, 84, 10, 0x50010003},
        {1013, "Button", "Update on &KeyPress", 115, 57, 84, 10, 0x50010003},
        {1014, "Button", "Update on M-&Lelt", 115, 72, 84, 10, 0x50010003},
        {1015, "Button", "Update on M-&Middle", 115, 87, 84, 10, 0x50010003},
        {1016, "Button", "Update on M-&Right", 115, 102, 84, 10, 0x50010003},
        {1017, "Button", "Use &Deferred updates", 115, 117, 84, 10, 0x50010003},
        {2, "Button", "&OK", 157, 142, 50, 14, 0x50010000},
    };
    EXPECT_EQ(expected, controls);
}

TEST_F(ResourcesTest, ContextMenu) {
    const std::vector<BYTE> bytes = Resource(RT_MENU, 301);
    ASSERT_FALSE(bytes.empty());
    HMENU menu = LoadMenuIndirectA(bytes.data());
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    char text[64] = "x";
    GetMenuStringA(menu, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ("", text);
    HMENU popup = GetSubMenu(menu, 0);
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        GetMenuStringA(popup, i, text, sizeof(text), MF_BYPOSITION);
        const UINT id = GetMenuItemID(popup, i);
        const bool separator = GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR;
        items.push_back(separator ? "-" : std::string(text) + "=" + std::to_string(id));
    }
    EXPECT_EQ((std::vector<std::string>{"Add New=1104", "-", "Delete=1100", "Reset=1101", "-",
                                        "Import=1102", "Export=1103"}),
              items);
    DestroyMenu(menu);
}

TEST_F(ResourcesTest, IconGroupHoldsSixteenColourImages) {
    const std::vector<BYTE> group = Resource(RT_GROUP_ICON, 101);
    ASSERT_GE(group.size(), 6u + 2 * 14);
    WORD count;
    memcpy(&count, &group[4], 2);
    ASSERT_EQ(2, count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = &group[6 + 14 * i];
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(16, entry[2]) << "colours";
        sizes.push_back(entry[0]);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32}), sizes);
}

TEST_F(ResourcesTest, HelpStringsAreTheControlsTexts) {
    // Every string of the block that holds 1008-1023 is in US English.
    ASSERT_FALSE(Resource(RT_STRING, 1010 / 16 + 1).empty());
    const char* texts[] = {
        "Lists the applications with application hook settings. \nSelect an item to configure its "
        "settings and right-click \nan item to see more options.",
        "When enabled, KMX server will try to find out exactly which areas \nof the window needs "
        "to be checked for updates instead of \nchecking the whole window. This setting may cause "
        "graphical \nglitches with applications that scroll content.",
        "Several Windows applications use timer events rather than paint \nevents to draw their "
        "displays. Enable this setting to trigger display \nupdate notifications on timer events.",
        "Some Windows applications draw directly to the screen when user \ntypes into a window. "
        "Enable this setting to trigger display update \nnotifications on keyboard events.",
        "Some Windows applications draw directly to the screen in \nresponse to mouse clicks. "
        "Enable this setting to trigger display \nupdate notifications when user clicks the Left "
        "Mouse Button.",
        "Some Windows applications draw directly to the screen in \nresponse to mouse clicks. "
        "Enable this setting to trigger display \nupdate notifications when user clicks the Middle "
        "Mouse Button.",
        "Some Windows applications draw directly to the screen in \nresponse to mouse clicks. "
        "Enable this setting to trigger display \nupdate notifications when user clicks the Right "
        "Mouse Button.",
        "Deferred updates are used to send the display update notifications \nonly after the "
        "application has finished drawing the update area. \nSome application may not work "
        "correctly when deferred updates \nare enabled.",
    };
    for (int i = 0; i < 8; ++i) {
        char text[1024] = "";
        LoadStringA(module.get(), 1010 + i, text, sizeof(text));
        EXPECT_STREQ(texts[i], text) << 1010 + i;
    }
    char text[64] = "";
    EXPECT_EQ(0, LoadStringA(module.get(), 1009, text, sizeof(text)));
    EXPECT_EQ(0, LoadStringA(module.get(), 1018, text, sizeof(text)));
}

TEST_F(ResourcesTest, VersionBlock) {
    const std::vector<BYTE> block = Resource(RT_VERSION, 1);
    ASSERT_FALSE(block.empty());
    std::vector<BYTE> copy = block;  // VerQueryValue may write into the block
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(MAKELONG(2, 1), static_cast<LONG>(fixed->dwFileVersionMS));
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &size));
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1252, translation[1]);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\StringFileInfo\\040904e4\\ProductName",
                               reinterpret_cast<void**>(&text), &size));
    EXPECT_STREQ("KMX Hooks Manager", text);
    ASSERT_TRUE(VerQueryValueA(copy.data(), "\\StringFileInfo\\040904e4\\FileDescription",
                               reinterpret_cast<void**>(&text), &size));
    EXPECT_STREQ("KMX Hooks Settings Manager", text);
}

// Windows refuses to start a 64-bit program whose manifest asks for the
// 32-bit common controls; Wine does not check, so the test does.
TEST_F(ResourcesTest, ManifestAsksForCommonControlsSixOfItsOwnArchitecture) {
    const std::vector<BYTE> bytes = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(bytes.empty());
    const std::string manifest(bytes.begin(), bytes.end());
    const std::string arch = sizeof(void*) == 4 ? "x86" : "amd64";
    EXPECT_NE(
        std::string::npos,
        manifest.find("name=\"QBL.KMXHooksManager\" version=\"1.2.0.0\" processorArchitecture=\"" +
                      arch + "\"/>"));
    EXPECT_NE(std::string::npos,
              manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, manifest.find("processorArchitecture=\"" + arch +
                                               "\" publicKeyToken=\"6595b64144ccf1df\""));
    EXPECT_EQ(2u, Count(manifest, "processorArchitecture=")) << "no other architecture named";
    EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>"));
}

// Without a requested level Windows redirects the 32-bit program's writes to
// protected folders into the user's VirtualStore and reports success.
TEST_F(ResourcesTest, ManifestRunsAsInvokerOnTheWindowsVersionsItKnows) {
    const std::vector<BYTE> bytes = Resource(RT_MANIFEST, 1);
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos,
              manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
    EXPECT_NE(std::string::npos,
              manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"));
    for (const char* id :
         {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
          "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
        EXPECT_NE(std::string::npos,
                  manifest.find(std::string("<supportedOS Id=\"{") + id + "}\"/>"))
            << id;
    }
}

// The shipped program is built for the architecture its tests run on, as a
// GUI program.
TEST_F(ResourcesTest, ProgramIsAGuiProgramOfThisArchitecture) {
    DWORD type = 0;
    ASSERT_TRUE(GetBinaryTypeA(ProgramPath().c_str(), &type));
    EXPECT_EQ(static_cast<DWORD>(sizeof(void*) == 4 ? SCS_32BIT_BINARY : SCS_64BIT_BINARY), type);
    // A module loaded as a data file has its low bits set; the headers are
    // at its rounded-down address.
    const BYTE* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module.get()) &
                                                     ~static_cast<ULONG_PTR>(0xFFFF));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    EXPECT_EQ(sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64,
              nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem);
}

}  // namespace
