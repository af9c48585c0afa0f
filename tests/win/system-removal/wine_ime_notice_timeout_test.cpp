// An input-method window that never answers 3002: the notice before the install gives up after 30000 ms
// and fails; the notice after the install, sent from the calling thread as it is where no thread can be
// started, gives up after as long and does not fail. Kept apart from the quick tests because it runs for a minute.
#include "system/ServiceShutdown.h"

#include "platform/fake/FakeThreads.h"
#include "platform/win32/Win32Threads.h"
#include "platform/win32/Win32WindowMessages.h"

#include "StandIns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

// The system's threads, counting the bodies still running: the notice given up on is still inside its message
// call when the test has its answer.
class CountingThreads : public platform::Threads {
public:
    platform::RunOutcome runWithin(std::function<void()> body, std::uint32_t timeoutMs) override {
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

    // The notice thread given up on is not stopped: it holds these for as long as it runs, as the installer's
    // threads hold its process-wide ones.
    static platform::Win32WindowMessages windows;
    static CountingThreads threads;
    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(notifyImeBeforeInstall(windows, threads));
    ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 29900u);
    EXPECT_LT(waited, 35000u);
    EXPECT_EQ("ready\n3002\n", standins::readFile(log));

    platform::FakeThreads noThreads;
    noThreads.startsNoThread = true;
    start = GetTickCount64();
    EXPECT_EQ(0, notifyImeAfterInstall(windows, noThreads));
    waited = GetTickCount64() - start;
    EXPECT_GE(waited, 29900u);
    EXPECT_LT(waited, 35000u);
    EXPECT_EQ(1, threads.running.load());

    // When the hung window's program ends, the notice thread given up on returns. The test waits for it before it
    // exits: Wine was seen to kill the process (status 137) when it exited while such threads were still returning.
    hung.reset();
    const ULONGLONG ended = GetTickCount64();
    while (threads.running.load() != 0 && GetTickCount64() - ended < 10000) Sleep(10);
    EXPECT_EQ(0, threads.running.load());
}

}  // namespace
