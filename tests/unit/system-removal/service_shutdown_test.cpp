// Service shutdown and input-method notices against fake processes and windows.
#include "system/ServiceShutdown.h"

#include "platform/fake/FakeProcesses.h"
#include "platform/fake/FakeThreads.h"
#include "platform/fake/FakeWindowMessages.h"

#include <gtest/gtest.h>

namespace {

using platform::FakeProcesses;
using platform::FakeThreads;
using platform::FakeWindowMessages;

TEST(StopRunningServices, EndsEveryExactMatchOfBothServicesAndNothingElse) {
    FakeProcesses processes;
    FakeWindowMessages windows;
    const auto first = processes.start(L"C:\\Program Files\\Zelnsoft\\Update\\ZNService2.exe");
    const auto second = processes.start(L"D:/elsewhere/ZNService2.exe");
    const auto older = processes.start(L"C:\\Old\\ZNService.exe");
    const auto lowerCase = processes.start(L"C:\\Other\\znservice2.exe");
    const auto longer = processes.start(L"C:\\Other\\ZNService2.exe.bak");
    const auto ime = processes.start(L"C:\\Windows\\System32\\ZelnIme.ime");

    EXPECT_EQ(0, stopRunningServices(processes, windows));

    for (const auto id : {first, second, older}) {
        EXPECT_TRUE(processes.processes[id].terminated) << id;
        EXPECT_EQ(1000u, processes.processes[id].exitCode);
    }
    for (const auto id : {lowerCase, longer, ime}) EXPECT_FALSE(processes.processes[id].terminated) << id;
    EXPECT_TRUE(windows.messageBoxes.empty());
    EXPECT_EQ(2, processes.debugPrivilegeRequests);
}

TEST(TerminateProcessesByName, ReportsEachFailedTerminationAndGoesOn) {
    FakeProcesses processes;
    FakeWindowMessages windows;
    const auto stuck = processes.start(L"C:\\a\\ZNService2.exe");
    processes.processes[stuck].terminates = false;
    const auto closed = processes.start(L"C:\\b\\ZNService2.exe");
    processes.processes[closed].opens = false;
    const auto nameless = processes.start(L"");
    const auto ending = processes.start(L"C:\\c\\ZNService2.exe");

    EXPECT_EQ(100, terminateProcessesByName(processes, windows, L"ZNService2.exe"));

    EXPECT_TRUE(processes.processes[ending].terminated);
    EXPECT_FALSE(processes.processes[closed].terminated);
    EXPECT_FALSE(processes.processes[nameless].terminated);
    ASSERT_EQ(1u, windows.messageBoxes.size());
    EXPECT_EQ(L"ZNService2.exe", windows.messageBoxes[0].text);
    EXPECT_EQ(L"hfgh", windows.messageBoxes[0].caption);
}

TEST(TerminateProcessesByName, WithoutSnapshotEndsNothingAndSucceeds) {
    FakeProcesses processes;
    FakeWindowMessages windows;
    const auto service = processes.start(L"C:\\a\\ZNService2.exe");
    processes.snapshotFails = true;
    EXPECT_EQ(0, terminateProcessesByName(processes, windows, L"ZNService2.exe"));
    EXPECT_FALSE(processes.processes[service].terminated);
    EXPECT_EQ(0, processes.debugPrivilegeRequests);
}

TEST(FileNameOfPath, TakesThePartAfterTheLastSeparatorOfEitherKind) {
    std::wstring name = L"untouched";
    EXPECT_FALSE(fileNameOfPath(L"", name));
    EXPECT_EQ(L"untouched", name);

    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\dir\\ZNService2.exe", L"ZNService2.exe"},
        {L"C:\\dir/sub\\x/ZNService.exe", L"ZNService.exe"},
        {L"/usr/bin/tool", L"tool"},
        {L"plain.exe", L"plain.exe"},
        {L"C:\\dir\\", L""},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_TRUE(fileNameOfPath(path, name)) << path;
        EXPECT_EQ(expected, name) << path;
    }
}

TEST(ImeNotices, ReachOnlyWindowsWithTheExactInputMethodTitle) {
    FakeWindowMessages windows;
    FakeThreads threads;
    const auto first = windows.open(kImeWindowTitle);
    const auto engine = windows.open(L"RUDERADOD_MSGWND{28b83e81-2477-47a2-a12d-95bcd38b237e}");
    const auto upper = windows.open(L"RUDERADOD_MSGWND{28B83E81-2466-47A2-A12D-95BCD38B237E}");
    const auto prefix = windows.open(L"RUDERADOD_MSGWND");
    const auto second = windows.open(kImeWindowTitle);

    EXPECT_TRUE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));

    const std::vector<std::uint32_t> both = {3002, 3001};
    EXPECT_EQ(both, windows.windows[first].received);
    EXPECT_EQ(both, windows.windows[second].received);
    for (const auto other : {engine, upper, prefix}) EXPECT_TRUE(windows.windows[other].received.empty());
    EXPECT_EQ((std::vector<std::uint32_t>{30000, 30000}), threads.timeoutsAsked);
}

TEST(ImeNotices, OnlyTheNoticeBeforeInstallFailsWhenItsThreadOutlastsTheWait) {
    FakeWindowMessages windows;
    FakeThreads threads;
    threads.timesOut = true;
    EXPECT_FALSE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));
}

// A process that cannot start the notice's thread sends it itself, each window given what is left of the 30000 ms
// the thread would have been waited for: the notice reaches the windows and fails only when the time runs out.
TEST(ImeNotices, WithoutAThreadTheCallerSendsThemUnderTheSameBound) {
    FakeWindowMessages windows;
    FakeThreads threads;
    threads.startsNoThread = true;
    const auto slow = windows.open(kImeWindowTitle);
    const auto engine = windows.open(L"RUDERADOD_MSGWND{28b83e81-2477-47a2-a12d-95bcd38b237e}");
    const auto next = windows.open(kImeWindowTitle);
    windows.windows[slow].answerMs = 12000;

    EXPECT_TRUE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));
    const std::vector<std::uint32_t> both = {3002, 3001};
    EXPECT_EQ(both, windows.windows[slow].received);
    EXPECT_EQ(both, windows.windows[next].received);
    EXPECT_TRUE(windows.windows[engine].received.empty());
    EXPECT_EQ((std::vector<std::uint32_t>{30000, 30000}), windows.windows[slow].timeLimits);
    EXPECT_EQ((std::vector<std::uint32_t>{18000, 18000}), windows.windows[next].timeLimits);
    EXPECT_EQ((std::vector<std::uint32_t>{30000, 30000}), threads.timeoutsAsked);

    // A window that outlasts the whole bound: the notice before the install fails, the one after does not, and
    // the window after it is not sent either.
    windows.windows[slow].answerMs = 30001;
    EXPECT_FALSE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));
    EXPECT_EQ((std::vector<std::uint32_t>{3002, 3001, 3002, 3001}), windows.windows[slow].received);
    EXPECT_EQ(both, windows.windows[next].received);

    // An answer at the very end of the bound is in time, but leaves the window after it no time at all.
    windows.windows[slow].answerMs = 30000;
    EXPECT_FALSE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(both, windows.windows[next].received);
}

}  // namespace
