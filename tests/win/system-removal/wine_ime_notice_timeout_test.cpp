// An input-method window that never answers 3002: the notice before the install gives up after 30000 ms
// and fails, the notice after the install gives up after as long and does not fail. Kept apart from the
// quick tests because it runs for a minute.
#include "system/ServiceShutdown.h"

#include "platform/win32/Win32Threads.h"
#include "platform/win32/Win32WindowMessages.h"

#include "StandIns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

// The system's threads, counting the bodies still running: the notices given up on are still inside their
// message call when the test has its answer.
class CountingThreads : public platform::Threads {
public:
    bool runWithin(std::function<void()> body, std::uint32_t timeoutMs) override {
        ++running;
        return threads_.runWithin(
            [this, body = std::move(body)] {
                body();
                --running;
            },
            timeoutMs);
    }

    std::atomic<int> running{0};

private:
    platform::Win32Threads threads_;
};

TEST(WineImeNoticeTimeout, HungWindowBoundsBothNoticesAndFailsOnlyTheFirst) {
    const std::wstring log = standins::temporaryPath(L"ime-hung");
    auto hung = std::make_unique<standins::StartedProcess>(
        standins::inQuotes(standins::programFolder() + L"\\ime_standin.exe") + L" " + standins::inQuotes(log) + L" " +
        standins::inQuotes(kImeWindowTitle) + L" --never-answer-3002");
    ASSERT_TRUE(hung->started());
    ASSERT_TRUE(standins::waitForText(log, "ready\n", 10000));

    // The notice threads given up on are not stopped: they hold these for as long as they run, as the
    // installer's threads hold its process-wide ones.
    static platform::Win32WindowMessages windows;
    static CountingThreads threads;
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
    EXPECT_EQ(2, threads.running.load());

    // When the hung window's program ends, both notices given up on return. The test waits for them before it
    // exits: Wine was seen to kill the process (status 137) when it exited while they were still returning.
    hung.reset();
    const ULONGLONG ended = GetTickCount64();
    while (threads.running.load() != 0 && GetTickCount64() - ended < 10000) Sleep(10);
    EXPECT_EQ(0, threads.running.load());
}

}  // namespace
