// The bootstrap's check that this machine runs 32-bit Windows programs soundly in a 64-bit Wine prefix, as
// 64-bit Windows runs the shipped installer under WoW64:
//   - the process can reserve at least FLOOR megabytes of address space (1024 when not given): the wizard's
//     double-size pages and each notice thread's stack come out of it;
//   - each thread stays on its own thread environment block when an exception raised on it is continued
//     after a second thread has started (a raised and continued exception, and OutputDebugString's own).
// usage: wow64-probe.exe [FLOOR]
// One line a finding on standard output, each as soon as it is known (a thread on another's block may well
// crash the process before the next), then "sound" and status 0 when all hold; status 1 when one does not.
#include "platform/win32/ScopedHandle.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using platform::ScopedHandle;

constexpr SIZE_T kMegabyte = 1 << 20;
constexpr SIZE_T kSmallestReservation = 64 * 1024;
// 4 GB in the smallest pieces: the most reservations a 32-bit process can hold.
constexpr SIZE_T kMostReservations = 65536;
constexpr DWORD kContinuedException = 0xE0505242;

// Formats into a buffer of its own and writes it straight to the standard output: a thread on another thread's
// block can still do that much, where the C runtime's stream would take locks that the block names.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    DWORD written = 0;
    if (length > 0) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, std::min<DWORD>(length, sizeof line - 1), &written, nullptr);
}

// Reserves pieces of 1 MB until none is left, then of half that and so on down to 64 KB, and releases them
// all again; the megabytes reserved.
SIZE_T reservableMegabytes() {
    std::vector<void*> reserved;
    reserved.reserve(kMostReservations);
    SIZE_T total = 0;
    for (SIZE_T piece = kMegabyte; piece >= kSmallestReservation; piece /= 2) {
        while (void* const block = VirtualAlloc(nullptr, piece, MEM_RESERVE, PAGE_NOACCESS)) {
            reserved.push_back(block);
            total += piece;
        }
    }
    for (void* const block : reserved) VirtualFree(block, 0, MEM_RELEASE);
    return total / kMegabyte;
}

LONG CALLBACK continueProbeException(EXCEPTION_POINTERS* pointers) {
    return pointers->ExceptionRecord->ExceptionCode == kContinuedException ? EXCEPTION_CONTINUE_EXECUTION
                                                                            : EXCEPTION_CONTINUE_SEARCH;
}

// The block that the thread's fs segment points at, by the block's pointer to itself. Read afresh each time: the
// fault this looks for changes it under the thread.
void* blockOfThisThread() {
    void* self = nullptr;
    __asm__ volatile("movl %%fs:0x18, %0" : "=r"(self));
    return self;
}

// Whether the calling thread is on its own block still after an exception continued by a handler and one that
// OutputDebugString raises and catches itself.
bool keepsOwnBlockAcrossExceptions() {
    void* const own = blockOfThisThread();
    RaiseException(kContinuedException, 0, 0, nullptr);
    if (blockOfThisThread() != own) return false;
    OutputDebugStringA("wow64-probe\n");
    return blockOfThisThread() == own;
}

struct SecondThread {
    ScopedHandle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    volatile LONG started = 0;
    volatile LONG keptOwnBlock = 0;
};

// The second thread says it runs, waits until the main thread has checked itself, then checks itself.
DWORD WINAPI checkSecondThread(LPVOID parameter) {
    auto* const second = static_cast<SecondThread*>(parameter);
    InterlockedExchange(&second->started, 1);
    WaitForSingleObject(second->go.get(), INFINITE);
    InterlockedExchange(&second->keptOwnBlock, keepsOwnBlockAcrossExceptions() ? 1 : 0);
    return 0;
}

// Starts a second thread, checks the main thread once it runs, then has the second one check itself; a finding
// for each. True when both stayed on their own blocks.
bool threadsKeepTheirOwnBlocks() {
    // Static: a thread that outlasts the wait for it still finds it.
    static SecondThread second;
    if (!second.go.valid() || AddVectoredExceptionHandler(1, continueProbeException) == nullptr) {
        say("FAILED: no event or exception handler for the threads' check\n");
        return false;
    }
    const ScopedHandle thread(CreateThread(nullptr, 0, checkSecondThread, &second, 0, nullptr));
    if (!thread.valid()) {
        say("FAILED: no second thread could be started\n");
        return false;
    }
    for (int waited = 0; second.started == 0 && waited < 10000; waited += 10) Sleep(10);
    const bool mainKept = keepsOwnBlockAcrossExceptions();
    say("%sthe main thread %s its own thread environment block across continued exceptions once a second thread "
        "ran\n", mainKept ? "" : "FAILED: ", mainKept ? "stayed on" : "left");
    SetEvent(second.go.get());
    const bool secondKept = WaitForSingleObject(thread.get(), 10000) == WAIT_OBJECT_0 && second.keptOwnBlock != 0;
    say("%sthe second thread %s its own block across the same\n", secondKept ? "" : "FAILED: ",
        secondKept ? "stayed on" : "did not end on");
    return mainKept && secondKept;
}

}  // namespace

int main(int argc, char** argv) {
    const SIZE_T floor = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const SIZE_T megabytes = reservableMegabytes();
    const bool enoughSpace = megabytes >= floor;
    say("%s%lu MB of address space, at least %lu MB needed\n", enoughSpace ? "" : "FAILED: only ",
        static_cast<unsigned long>(megabytes), static_cast<unsigned long>(floor));
    const bool threadsKept = threadsKeepTheirOwnBlocks();
    if (enoughSpace && threadsKept) {
        say("sound\n");
        return 0;
    }
    // A thread left on another thread's block holds up an orderly exit for good: the process ends outright.
    TerminateProcess(GetCurrentProcess(), 1);
    return 1;
}
