// The start-up warning when the remote-desktop server runs. The server's
// mutex is global, so these tests run alone.
#include <gtest/gtest.h>

#include "store/handles.h"
#include "support/dialog_harness.h"
#include "support/programs.h"

namespace {

class ServerWarningTest : public DialogTest {};

TEST_F(ServerWarningTest, ShownOnceBeforeTheDialogWhenServerMutexExists) {
    // The program keeps the server's mutex for the rest of the process, so
    // this case has a process of its own.
    if (!InFreshProcess()) {
        EXPECT_EQ(0, RunCurrentTestInFreshProcess());
        return;
    }
    UniqueHandle server(CreateMutexA(nullptr, TRUE, "Dravik_Win32_Instance_Mutex"));
    ASSERT_TRUE(server.valid());
    CreateEntry("A");
    Open();
    ASSERT_EQ(1u, boxes.shown().size());
    const ShownBox& box = boxes.shown()[0];
    EXPECT_EQ("Brevant server is currently running! Changes to settings may not apply.", box.text);
    EXPECT_EQ("KMX Hooks Manager", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_OK), box.style);
    EXPECT_EQ(dialog, box.owner);
    EXPECT_FALSE(box.ownerVisible) << "the box comes before the dialog";
    // Start-up went on after the box: the list is filled.
    EXPECT_EQ((std::vector<std::string>{"A"}), Items());

    // The server goes away; the handle the check found keeps its mutex.
    server.reset();
    UniqueHandle still(OpenMutexA(SYNCHRONIZE, FALSE, "Dravik_Win32_Instance_Mutex"));
    EXPECT_TRUE(still.valid()) << "the program closed the handle it found";
}

TEST_F(ServerWarningTest, NotShownWhenOnlyASimilarNameExists) {
    // Mutex names are case-sensitive.
    UniqueHandle other(CreateMutexA(nullptr, TRUE, "dravik_win32_instance_mutex"));
    Open();
    EXPECT_TRUE(boxes.shown().empty());
    Close();
    // The check leaves no mutex of its own behind.
    UniqueHandle probe(CreateMutexA(nullptr, FALSE, "Dravik_Win32_Instance_Mutex"));
    EXPECT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
}

}  // namespace
