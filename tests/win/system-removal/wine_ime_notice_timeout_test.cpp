// An input-method window that never answers 3002: the notice before the install gives up after 30000 ms
// and fails, the notice after the install gives up after as long and does not fail. Kept apart from the
// quick tests because it runs for a minute.
#include "system/ServiceShutdown.h"

#include "platform/win32/Win32Threads.h"
#include "platform/win32/Win32WindowMessages.h"

#include "StandIns.h"

#include <gtest/gtest.h>

namespace {

TEST(WineImeNoticeTimeout, HungWindowBoundsBothNoticesAndFailsOnlyTheFirst) {
    const std::wstring log = standins::temporaryPath(L"ime-hung");
    standins::StartedProcess hung(standins::inQuotes(standins::programFolder() + L"\\ime_standin.exe") + L" " +
                                  standins::inQuotes(log) + L" " + standins::inQuotes(kImeWindowTitle) +
                                  L" --never-answer-3002");
    ASSERT_TRUE(hung.started());
    ASSERT_TRUE(standins::waitForText(log, "ready\n", 10000));

    // The notice threads given up on are not stopped: they still hold these when the test ends and the hung
    // window goes, as the installer's threads hold its process-wide ones.
    static platform::Win32WindowMessages windows;
    static platform::Win32Threads threads;
    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(notifyImeBeforeInstall(windows, threads));
    ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 29900u);
    EXPECT_LT(waited, 35000u);
    EXPECT_EQ("ready\n3002\n", standins::readFile(log));

    start = GetTickCount64();
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));
    waited = GetTickCount64() - start;
    EXPECT_GE(waited, 29900u);
    EXPECT_LT(waited, 35000u);
}

}  // namespace
