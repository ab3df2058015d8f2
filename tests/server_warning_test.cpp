// The start-up warning when the remote-desktop server runs. The server's
// mutex name is shared by every process, so these tests run alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/server_check.h"
#include "store/handles.h"
#include "support/dialog_harness.h"

namespace {

const char kServerMutex[] = "Dravik_Win32_Instance_Mutex";
const char kWarning[] = "Brevant server is currently running! Changes to settings may not apply.";

class ServerWarningTest : public DialogTest {
protected:
    void TearDown() override {
        DialogTest::TearDown();
        g_openMutex = OpenMutexA;
    }
    void ExpectWarnedOnceBeforeTheDialog() {
        ASSERT_EQ(1u, boxes.shown().size());
        const ShownBox& box = boxes.shown()[0];
        EXPECT_EQ(kWarning, box.text);
        EXPECT_EQ("KMX Hooks Manager", box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_OK), box.style);
        EXPECT_EQ(dialog, box.owner);
        EXPECT_FALSE(box.ownerVisible) << "the box comes before the dialog";
    }
    // Stand-ins for OpenMutexA: what a user's session sees of a server
    // running elsewhere. They answer only for the server's names.
    static HANDLE WINAPI OnlyGlobal(DWORD, BOOL, LPCSTR name) {
        if (std::string(name) == std::string("Global\\") + kServerMutex) {
            return CreateEventA(nullptr, FALSE, FALSE, nullptr);  // any handle will do
        }
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    static HANDLE WINAPI Refused(DWORD, BOOL, LPCSTR name) {
        SetLastError(std::string(name) == kServerMutex ? ERROR_ACCESS_DENIED
                                                       : ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
};

// The server is usually restarted to pick up new settings: with the dialog
// still open, its new instance must find no mutex left by the check.
TEST_F(ServerWarningTest, ServerRestartedWhileTheDialogIsOpenStartsCleanly) {
    UniqueHandle server(CreateMutexA(nullptr, TRUE, kServerMutex));
    ASSERT_TRUE(server.valid());
    CreateEntry("A");
    Open();
    ExpectWarnedOnceBeforeTheDialog();
    EXPECT_EQ((std::vector<std::string>{"A"}), Items()) << "start-up went on after the box";

    server.reset();
    UniqueHandle restarted(CreateMutexA(nullptr, TRUE, kServerMutex));
    ASSERT_TRUE(restarted.valid());
    EXPECT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError())
        << "the dialog still holds the old server's mutex";
}

TEST_F(ServerWarningTest, ServerInAnotherSessionOrLockedAwayIsFound) {
    {
        // A service's mutex, as far as one session can show it.
        UniqueHandle service(
            CreateMutexA(nullptr, TRUE, (std::string("Global\\") + kServerMutex).c_str()));
        ASSERT_TRUE(service.valid());
        Open();
        ExpectWarnedOnceBeforeTheDialog();
        Close();
        boxes.Clear();
    }
    g_openMutex = OnlyGlobal;
    Open();
    ExpectWarnedOnceBeforeTheDialog();
    Close();
    boxes.Clear();
    g_openMutex = Refused;
    Open();
    ExpectWarnedOnceBeforeTheDialog();
}

// Every look the check takes, and whether a mutex of the server's names
// existed at that moment: a check that made one (and closed it again) would
// show in either.
struct LookSpy {
    static HANDLE WINAPI Open(DWORD access, BOOL inherit, LPCSTR name) {
        looks.push_back(std::to_string(access) + " " + name);
        for (const std::string& server :
             {std::string(kServerMutex), "Global\\" + std::string(kServerMutex)}) {
            UniqueHandle seen(OpenMutexA(SYNCHRONIZE, FALSE, server.c_str()));
            madeOne = madeOne || seen.valid();
        }
        return OpenMutexA(access, inherit, name);
    }
    static inline std::vector<std::string> looks;
    static inline bool madeOne = false;
};

TEST_F(ServerWarningTest, NoWarningAndNoMutexLeftWhenTheServerIsAbsent) {
    // Mutex names are case-sensitive.
    UniqueHandle other(CreateMutexA(nullptr, TRUE, "dravik_win32_instance_mutex"));
    g_openMutex = LookSpy::Open;
    Open();
    EXPECT_TRUE(boxes.shown().empty());
    const std::string synchronize = std::to_string(SYNCHRONIZE);
    EXPECT_EQ((std::vector<std::string>{synchronize + " Global\\" + kServerMutex,
                                        synchronize + " " + kServerMutex}),
              LookSpy::looks)
        << "only looked, never created";
    EXPECT_FALSE(LookSpy::madeOne);
    // Looked for while the dialog is open: the check made none of its own.
    for (const std::string& name :
         {std::string(kServerMutex), "Global\\" + std::string(kServerMutex)}) {
        UniqueHandle probe(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
        EXPECT_FALSE(probe.valid()) << name;
    }
}

}  // namespace
