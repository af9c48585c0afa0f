// Service shutdown and input-method notices against real processes and message windows under Wine.
#include "system/ServiceShutdown.h"

#include "platform/fake/FakeThreads.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Threads.h"
#include "platform/win32/Win32WindowMessages.h"

#include "StandIns.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using standins::StartedProcess;

constexpr wchar_t kEngineWindowTitle[] = L"RUDERADOD_MSGWND{28b83e81-2477-47a2-a12d-95bcd38b237e}";

std::wstring service(const std::wstring& relativePath) {
    return standins::inQuotes(standins::programFolder() + L"\\services\\" + relativePath);
}

TEST(WineServiceShutdown, EndsEveryInstanceOfBothServicesButNotTheLowerCaseName) {
    StartedProcess first(service(L"upper\\ZNService2.exe"));
    StartedProcess second(service(L"upper\\ZNService2.exe"));
    StartedProcess older(service(L"upper\\ZNService.exe"));
    StartedProcess lowerCase(service(L"lower\\znservice2.exe"));
    for (const StartedProcess* process : {&first, &second, &older, &lowerCase}) ASSERT_TRUE(process->started());
    // Each must have its executable mapped before it can be named.
    Sleep(500);

    platform::Win32Processes processes;
    platform::Win32WindowMessages windows;
    EXPECT_EQ(0, stopRunningServices(processes, windows));

    for (const StartedProcess* process : {&first, &second, &older}) {
        ASSERT_TRUE(process->endsWithin(10000));
        EXPECT_EQ(1000u, process->exitCode());
    }
    EXPECT_FALSE(lowerCase.endsWithin(1000));
}

TEST(WineServiceShutdown, NameThatNoProcessCarriesEndsNothing) {
    StartedProcess service2(service(L"upper\\ZNService2.exe"));
    ASSERT_TRUE(service2.started());
    Sleep(500);
    platform::Win32Processes processes;
    platform::Win32WindowMessages windows;
    EXPECT_EQ(0, terminateProcessesByName(processes, windows, L"ZNService3.exe"));
    EXPECT_FALSE(service2.endsWithin(500));
}

// Windows XP has no QueryFullProcessImageNameW: there the process-status interface's device path, put on its
// drive, must name the same file as the module list does.
TEST(WineServiceShutdown, NamesAServiceByItsModulesAndAsWindowsXpDoes) {
    StartedProcess service2(service(L"upper\\ZNService2.exe"));
    ASSERT_TRUE(service2.started());
    Sleep(500);
    const std::wstring expected = standins::programFolder() + L"\\services\\upper\\ZNService2.exe";
    platform::Win32Processes processes;
    const auto ids = processes.snapshot();
    ASSERT_TRUE(ids.has_value());
    int named = 0;
    for (const std::uint32_t id : *ids) {
        const auto process = processes.open(id);
        if (!process || lstrcmpiW(process->imagePath().c_str(), expected.c_str()) != 0) continue;
        ++named;
        const HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
        ASSERT_NE(nullptr, handle);
        wchar_t device[MAX_PATH] = {};
        ASSERT_GT(GetProcessImageFileNameW(handle, device, MAX_PATH), 0u);
        EXPECT_EQ(0, wcsncmp(device, L"\\Device\\", 8)) << device;
        const std::wstring byDevice = platform::imagePathByDevice(handle);
        EXPECT_EQ(0, lstrcmpiW(expected.c_str(), byDevice.c_str())) << byDevice;
        CloseHandle(handle);
    }
    EXPECT_EQ(1, named);
}

struct StandInWindow {
    std::wstring log;
    std::unique_ptr<StartedProcess> process;

    StandInWindow(const std::wstring& stem, const std::wstring& title, const std::wstring& mode = L"")
        : log(standins::temporaryPath(stem)) {
        process = std::make_unique<StartedProcess>(standins::inQuotes(standins::programFolder() + L"\\ime_standin.exe") + L" " +
                                                   standins::inQuotes(log) + L" " + standins::inQuotes(title) + L" " + mode);
    }
    bool ready() const { return process->started() && standins::waitForText(log, "ready\n", 10000); }
};

TEST(WineImeNotices, ReachTheInputMethodWindowsBeforeAndAfterButNoOtherWindow) {
    StandInWindow first(L"ime-first", kImeWindowTitle);
    StandInWindow second(L"ime-second", kImeWindowTitle);
    StandInWindow engine(L"engine", kEngineWindowTitle);
    StandInWindow topLevel(L"top-level", kImeWindowTitle, L"--top-level");
    for (const StandInWindow* window : {&first, &second, &engine, &topLevel}) ASSERT_TRUE(window->ready());

    platform::Win32WindowMessages windows;
    platform::Win32Threads threads;
    EXPECT_TRUE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));
    // Again from a process that can start no thread: the calling thread sends them, with a time limit.
    platform::FakeThreads noThreads;
    noThreads.startsNoThread = true;
    EXPECT_TRUE(notifyImeBeforeInstall(windows, noThreads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, noThreads));

    // Each notice is sent synchronously, so each is logged by the time the notifier returns.
    EXPECT_EQ("ready\n3002\n3001\n3002\n3001\n", standins::readFile(first.log));
    EXPECT_EQ("ready\n3002\n3001\n3002\n3001\n", standins::readFile(second.log));
    EXPECT_EQ("ready\n", standins::readFile(engine.log));
    EXPECT_EQ("ready\n", standins::readFile(topLevel.log));
}

TEST(WineImeNotices, CompleteAtOnceWithoutAnyInputMethodWindow) {
    platform::Win32WindowMessages windows;
    platform::Win32Threads threads;
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(notifyImeBeforeInstall(windows, threads));
    EXPECT_EQ(0, notifyImeAfterInstall(windows, threads));
    EXPECT_LT(GetTickCount64() - start, 5000u);
}

}  // namespace
