// Names and paths in a double-byte code page. The suite runs this program
// with LC_ALL=ja_JP.UTF-8, which gives Wine's processes code page 932. There
// the second byte of a character may be '\' (0x5C): 表 is 0x95 0x5C and ソ is
// 0x83 0x5C. The program must judge a name or a path by its characters, as
// the registry and the file system do, and its byte limits still hold.
#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "dialog/app_list.h"
#include "dialog/exchange_commands.h"
#include "exchange/export_file.h"
#include "exchange/import_file.h"
#include "res/resource.h"
#include "store/hook_settings.h"
#include "support/dialog_harness.h"
#include "support/temp_folder.h"

namespace {

using Values = std::map<std::string, RegValue>;
const std::string kHyo = "\x95\x5C";  // 表
const std::string kSo = "\x83\x5C";   // ソ
const std::string kKo = "\x8D\x82";   // 高, after 表 in the registry's order
const std::string kPrefix = "HKEY_CURRENT_USER\\Software\\QBL\\KMXHooks\\Application_Prefs\\";

class DoubleByteTest : public DialogTest {
protected:
    void SetUp() override {
        ASSERT_EQ(932u, GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
        ASSERT_TRUE(IsDBCSLeadByte(0x95));
    }
    // Names the new entry in the label editor and presses Enter.
    void AddNamed(const std::string& name) {
        Command(IDM_ADDNEW);
        HWND edit = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(nullptr, edit);
        SetWindowTextA(edit, name.c_str());
        SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
        SendMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000000);
        Pump();
    }
    TempFolder folder;
};

TEST_F(DoubleByteTest, TypedNameIsJudgedByItsCharacters) {
    Open();
    const std::string name = kHyo + "-" + kSo + "ft.exe";
    AddNamed(name);
    EXPECT_TRUE(Texts().empty()) << "no backslash in it";
    EXPECT_EQ((std::vector<std::string>{name}), Items());
    AddNamed(kHyo + "\\x.exe");  // a real backslash after such a character
    EXPECT_EQ((std::vector<std::string>{"Application name contains invalid characters."}), Texts());
    Close();
    EXPECT_TRUE(EntryExists(name));
}

TEST_F(DoubleByteTest, ImportedSectionIsJudgedByItsCharacters) {
    Open();
    const std::string name = kSo + "ft";
    const std::string file = folder.File("in.reg");
    WriteFileBytes(file, "REGEDIT4\r\n\r\n[" + kPrefix + name +
                             "]\r\n\"use_Timer\"=dword:00000001\r\n"
                             "\r\n[" +
                             kPrefix + kSo + "\\sub]\r\n\"use_Timer\"=dword:00000001\r\n");
    boxes.Answer(IDYES);
    ImportRegistryFile(dialog, list, file.c_str());
    EXPECT_EQ((Values{{"use_Timer", Dword(1)}}), EntryValues(name));
    EXPECT_FALSE(EntryExists(kSo)) << "a real backslash still reaches below an entry";
    EXPECT_EQ((std::vector<std::string>{name}), Items());
    EXPECT_EQ((std::vector<std::string>{"Do you want to replace existing hook settings?"}),
              Texts());
}

TEST_F(DoubleByteTest, ExportToAPathJudgedByItsCharacters) {
    const std::string name = kHyo + ".exe";
    CreateEntryWith(name, {1});
    const std::string target = folder.File(kHyo + ".reg");
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    EXPECT_EQ(std::vector<std::string>{}, Texts());
    EXPECT_EQ(
        "REGEDIT4\r\n\r\n[" + kPrefix + name + "]\r\n\"use_GetUpdateRect\"=dword:00000001\r\n\r\n",
        ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{kHyo + ".reg"}), folder.Names()) << "no stray file";
}

// 130 characters of two bytes fill the 260 bytes a listed name may have:
// read back from the list, such a name must still end where it ends.
TEST_F(DoubleByteTest, NameOfTheFullListedLengthReachesItsOwnEntry) {
    std::string name;
    for (int i = 0; i < 130; ++i) name += kKo;
    ASSERT_EQ(260u, name.size());
    CreateEntryWith(name, {1, 1, 1, 1, 1, 1, 1});
    CreateEntry("B");
    Open();
    const int item = Items()[0] == name ? 0 : 1;
    ASSERT_EQ(name, Items()[item]);
    // Whatever follows the buffer is never part of the name.
    char read[kItemNameSize + 40];
    memset(read, 'x', sizeof(read));
    EXPECT_EQ(260, GetItemName(list, item, read));
    EXPECT_EQ(name, std::string(read, strnlen(read, sizeof(read))));
    Select(item);
    EXPECT_EQ(std::vector<int>(7, 1), Panel()) << "its values are loaded";
    Click(IDC_TIMER);
    Select(1 - item);
    EXPECT_EQ(Dword(0), EntryValues(name)["use_Timer"]) << "the change is saved to it";

    const std::string target = folder.File("out.reg");
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(dialog, target.c_str()));
    EXPECT_NE(std::string::npos, ReadFileBytes(target).find(
                                     "[" + kPrefix + name +
                                     "]\r\n\"use_GetUpdateRect\"=dword:00000001\r\n\"use_Timer\"="
                                     "dword:00000000\r\n"));

    Select(item);
    boxes.Answer(IDYES);
    Command(IDM_DELETE);
    EXPECT_FALSE(EntryExists(name)) << "its key is deleted";
    EXPECT_EQ((std::vector<std::string>{"B"}), Items());
    EXPECT_EQ((std::vector<std::string>{"B"}), EntryNames()) << "and no other";
}

// 141 characters of two bytes are 282 bytes: more than the 261 an entry
// name is enumerated into, so the registry answers ERROR_MORE_DATA for it.
TEST_F(DoubleByteTest, NameTooLongForTheBufferIsLeftOutOfListAndExportAndNamed) {
    const std::wstring settings = L"Software\\QBL\\KMXHooks\\Application_Prefs\\";
    const std::wstring longName = settings + std::wstring(141, L'\x8868');
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, longName.c_str(), &created));
    RegCloseKey(created);
    CreateEntryWith("A", {1});
    CreateEntryWith(kKo + ".exe", {0});
    ASSERT_EQ(3u, EntryNames().size());

    Open();
    EXPECT_EQ((std::vector<std::string>{"A", kKo + ".exe"}), Items())
        << "skipped; the entries after it are still listed";

    const std::string target = folder.File("backup.reg");
    WriteFileBytes(target, "the last good backup");
    EXPECT_EQ(ERROR_SUCCESS, ExportRegistryFile(nullptr, target.c_str()));
    std::string hyo141;
    for (int i = 0; i < 141; ++i) hyo141 += kHyo;
    EXPECT_EQ((std::vector<std::string>{"These entries were not exported: their names are too "
                                        "long for this program.\r\n\r\n" +
                                        hyo141}),
              Texts());
    EXPECT_EQ("REGEDIT4\r\n\r\n[" + kPrefix +
                  "A]\r\n\"use_GetUpdateRect\"=dword:00000001\r\n\r\n[" + kPrefix + kKo +
                  ".exe]\r\n\"use_GetUpdateRect\"=dword:00000000\r\n\r\n",
              ReadFileBytes(target));
    EXPECT_EQ((std::vector<std::string>{"backup.reg"}), folder.Names());
    RegDeleteKeyW(HKEY_CURRENT_USER, longName.c_str());
}

// A name is usable when it fits the registry (255 characters) and the
// program's list (260 bytes): 200 characters of two bytes fit the first
// only, and would make an entry the dialog can neither show nor delete.
TEST_F(DoubleByteTest, ImportedNamesAreLimitedInCharactersAndBytes) {
    struct Case {
        int characters;
        bool imported;
        bool listed;
    };
    for (const Case& c : {Case{130, true, true}, Case{131, false, false}, Case{200, false, false},
                          Case{256, false, false}}) {
        std::string name;
        for (int i = 0; i < c.characters; ++i) name += kKo;
        const std::string file = folder.File("in.reg");
        WriteFileBytes(
            file, "REGEDIT4\r\n\r\n[" + kPrefix + name + "]\r\n\"use_Timer\"=dword:00000001\r\n");
        Open();
        boxes.Answer(IDYES);
        ImportRegistryFile(dialog, list, file.c_str());
        EXPECT_EQ(c.imported, EntryExists(name)) << c.characters;
        EXPECT_EQ(c.listed ? std::vector<std::string>{name} : std::vector<std::string>{}, Items())
            << c.characters;
        std::vector<std::string> texts = {"Do you want to replace existing hook settings?"};
        if (!c.imported) texts.push_back("Some hook settings could not be imported.");
        EXPECT_EQ(texts, Texts()) << c.characters;
        Close();
        boxes.Clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QBL");
    }
}

}  // namespace
