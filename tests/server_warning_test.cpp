// The start-up warning when the remote-desktop server runs. The server's
// mutex is global, so these tests run alone.
#include <gtest/gtest.h>

#include "store/handles.h"
#include "support/dialog_harness.h"

namespace {

class ServerWarningTest : public DialogTest {};

TEST_F(ServerWarningTest, ShownOnceBeforeTheDialogWhenServerMutexExists) {
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
    // Start-up went on after the box: the list is filled.
    EXPECT_EQ((std::vector<std::string>{"A"}), Items());
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
