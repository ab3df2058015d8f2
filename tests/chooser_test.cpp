// The file chooser with the real common dialogs: what it asks the platform
// for, and where it puts the dialog.
#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include "exchange/file_chooser.h"
#include "res/resource.h"
#include "support/dialog_harness.h"
#include "support/file_dialogs.h"
#include "support/programs.h"
#include "support/temp_folder.h"

namespace {

const std::vector<std::string> kFilter = {"REG Files (*.reg)", "*.reg", "All Files (*.*)", "*.*"};

class ChooserTest : public DialogTest {
protected:
    FileDialogs files;
    TempFolder folder;
};

// Where centring over `owner` puts a window of the size of `placed`.
POINT CentredOver(HWND owner, const RECT& placed) {
    RECT r;
    GetWindowRect(owner, &r);
    const int w = placed.right - placed.left, h = placed.bottom - placed.top;
    int x = r.left + ((r.right - r.left) - w) / 2;
    int y = r.top + ((r.bottom - r.top) - h) / 2;
    if (x > GetSystemMetrics(SM_CXSCREEN)) x = GetSystemMetrics(SM_CXSCREEN) - w;
    if (y > GetSystemMetrics(SM_CYSCREEN)) y = GetSystemMetrics(SM_CYSCREEN) - h;
    return {x < 0 ? 0 : x, y < 0 ? 0 : y};
}

TEST_F(ChooserTest, FirstDialogCentredLaterOnesAtLastCornerInBothModes) {
    // The remembered corner is the process's: only in a fresh process is the
    // first file dialog the first of the run.
    if (!InFreshProcess()) {
        EXPECT_EQ(0, RunCurrentTestInFreshProcess());
        return;
    }
    CreateEntryWith("A", {1, 0});
    Open();
    SetWindowPos(dialog, nullptr, 150, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const std::string out = folder.File("out.reg");

    files.Choose(out, {30, 40}, {120, 90});  // the user drags it before choosing
    Command(IDM_EXPORT);
    ASSERT_EQ(1u, files.visits().size());
    const FileDialogVisit save = files.visits()[0];
    // The record up to lpTemplateName on this architecture.
    EXPECT_EQ(sizeof(void*) == 4 ? 76u : 136u, save.structSize);
    EXPECT_EQ(0x02880026u, save.flags);
    EXPECT_EQ(dialog, save.owner);
    EXPECT_EQ(kFilter, save.filter);
    EXPECT_EQ("reg", save.defaultExtension);
    EXPECT_EQ("", save.initialFile) << "nothing chosen yet in this run";
    EXPECT_EQ(260u, save.maxFile);
    // The record asks for index 0 (the first pair); Wine writes the index it
    // chose back into the record before the hook sees it, so check the list.
    EXPECT_LE(save.filterIndex, 1u);
    EXPECT_EQ(0, save.typeSelection);
    EXPECT_TRUE(save.hasHook);
    const POINT centred = CentredOver(dialog, save.placed);
    EXPECT_EQ(centred.x, save.placed.left);
    EXPECT_EQ(centred.y, save.placed.top);
    EXPECT_TRUE(FileExists(out)) << "the export ran on the chosen path";

    files.Cancel({200, 150});
    Command(IDM_IMPORT);
    ASSERT_EQ(2u, files.visits().size());
    const FileDialogVisit open = files.visits()[1];
    // OFN_FILEMUSTEXIST implies OFN_PATHMUSTEXIST, which Wine writes into
    // the record; the program asks for exactly these six.
    EXPECT_EQ(0x02881024u, open.flags & ~static_cast<DWORD>(OFN_PATHMUSTEXIST));
    EXPECT_EQ(kFilter, open.filter);
    EXPECT_EQ("reg", open.defaultExtension);
    EXPECT_EQ(0, open.typeSelection);
    EXPECT_EQ(_stricmp(out.c_str(), open.initialFile.c_str()), 0) << open.initialFile;
    EXPECT_EQ(30, open.placed.left);
    EXPECT_EQ(40, open.placed.top);
    // Only the position comes back: the size is the platform's, not the
    // larger one the hook saw as the last dialog closed.
    EXPECT_EQ(save.placed.right - save.placed.left, open.placed.right - open.placed.left);
    EXPECT_EQ(save.placed.bottom - save.placed.top, open.placed.bottom - open.placed.top);
    EXPECT_FALSE(save.hookResized);
    EXPECT_FALSE(open.hookResized) << "only the position comes back";

    DeleteFileA(out.c_str());
    files.Cancel();
    Command(IDM_EXPORT);  // opens where the cancelled one was left
    ASSERT_EQ(3u, files.visits().size());
    EXPECT_EQ(200, files.visits()[2].placed.left);
    EXPECT_EQ(150, files.visits()[2].placed.top);
    EXPECT_FALSE(FileExists(out)) << "Cancel exports nothing";
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ChooserTest, OffScreenCornerIsRestoredUnclamped) {
    Open();
    files.Cancel({-300, -20});
    char path[MAX_PATH] = "";
    EXPECT_EQ(0, ChooseExchangeFile(dialog, path, 0));
    files.Cancel();
    EXPECT_EQ(0, ChooseExchangeFile(dialog, path, 1));
    ASSERT_EQ(2u, files.visits().size());
    EXPECT_EQ(-300, files.visits()[1].placed.left);
    EXPECT_EQ(-20, files.visits()[1].placed.top);
}

TEST_F(ChooserTest, ResultAndPathOfAChoice) {
    Open();
    char path[MAX_PATH] = "";
    files.Cancel();
    EXPECT_EQ(0, ChooseExchangeFile(dialog, path, 1));
    EXPECT_STREQ("", path);
    // The save mode completes a name without an extension.
    files.Choose(folder.File("named"));
    EXPECT_EQ(1, ChooseExchangeFile(dialog, path, 1));
    EXPECT_EQ(_stricmp(folder.File("named.reg").c_str(), path), 0) << path;
    // The open mode takes only a file that exists.
    WriteFileBytes(folder.File("there.reg"), "REGEDIT4\r\n");
    files.Choose(folder.File("there.reg"));
    EXPECT_EQ(1, ChooseExchangeFile(dialog, path, 0));
    EXPECT_EQ(_stricmp(folder.File("there.reg").c_str(), path), 0) << path;
}

TEST_F(ChooserTest, SaveAsksBeforeReplacingAFile) {
    CreateEntryWith("A", {1});
    Open();
    const std::string out = folder.File("old.reg");
    WriteFileBytes(out, "old");
    files.Choose(out);
    boxes.Answer(IDYES);
    Command(IDM_EXPORT);
    ASSERT_EQ(1u, boxes.shown().size()) << "the platform's overwrite question";
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), boxes.shown()[0].style & 0x0F);
    EXPECT_EQ(0u, ReadFileBytes(out).find("REGEDIT4\r\n"));
}

struct CentringCase {
    RECT reference;  // empty: no reference window, the screen
    SIZE window;
    POINT expected;
};

class CenterWindowTest : public ::testing::TestWithParam<CentringCase> {};

HWND Popup(const RECT& r) {
    return CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

TEST_P(CenterWindowTest, PlacesTheWindow) {
    ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "cases assume the test display";
    ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    const CentringCase& c = GetParam();
    HWND reference = IsRectEmpty(&c.reference) ? nullptr : Popup(c.reference);
    HWND window = Popup({500, 500, 500 + c.window.cx, 500 + c.window.cy});
    EXPECT_TRUE(CenterWindow(window, reference));
    RECT placed;
    GetWindowRect(window, &placed);
    EXPECT_EQ(c.expected.x, placed.left);
    EXPECT_EQ(c.expected.y, placed.top);
    EXPECT_EQ(c.window.cx, placed.right - placed.left) << "never resized";
    DestroyWindow(window);
    if (reference) DestroyWindow(reference);
}

INSTANTIATE_TEST_SUITE_P(
    Clamps, CenterWindowTest,
    ::testing::Values(CentringCase{{100, 100, 500, 400}, {200, 100}, {200, 200}},
                      // A difference of -5 halves to -2, toward zero.
                      CentringCase{{300, 300, 400, 400}, {105, 105}, {298, 298}},
                      // A left edge inside the screen stays, even if the window reaches past it.
                      CentringCase{{900, 100, 1300, 400}, {200, 100}, {1000, 200}},
                      CentringCase{{800, 100, 1248, 400}, {200, 100}, {924, 200}},
                      // Exactly at the screen's width or height: still inside, kept.
                      CentringCase{{1000, 100, 1248, 400}, {200, 100}, {1024, 200}},
                      CentringCase{{100, 750, 300, 886}, {100, 100}, {150, 768}},
                      // Beyond the screen width: the screen width less the window's.
                      CentringCase{{1000, 100, 1400, 400}, {200, 100}, {824, 200}},
                      CentringCase{{100, 700, 300, 1000}, {100, 100}, {150, 668}},
                      // Larger than the main dialog near the top-left corner: 0.
                      CentringCase{{10, 10, 110, 110}, {300, 300}, {0, 0}},
                      // No reference: the primary screen; wider than it: 0.
                      CentringCase{{0, 0, 0, 0}, {200, 100}, {412, 334}},
                      CentringCase{{0, 0, 0, 0}, {1100, 800}, {0, 0}}));

}  // namespace
