// What every later Windows test relies on, checked against the real Wine in the harness's prefix:
// the registry keeps REG_SZ data as written, a message-only window answers a synchronous message sent
// from another thread, and GDI+ decodes a PNG held in memory.
#include <windows.h>
#include <gdiplus.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "platform/Threads.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\ZelnInstallerTests\\Foundation";

TEST(WineRegistry, StringWrittenWithoutCountedTerminatorReadsBackWithTypeAndCount) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    // "abcd" counted as 6 bytes: the terminator is not part of the count and no NUL follows the
    // counted characters, so the stored data is exactly the 6 bytes written.
    const wchar_t data[] = L"abcd";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Value", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(data), 6));
    DWORD type = 0;
    BYTE buffer[64] = {};
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Value", nullptr, &type, buffer, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(6u, size);
    EXPECT_EQ(0, std::memcmp(buffer, data, 6));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey));
}

constexpr UINT kAsk = WM_APP + 7;
std::atomic<DWORD> answeredOnThread{0};

LRESULT CALLBACK answeringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kAsk) {
        answeredOnThread = GetCurrentThreadId();
        return static_cast<LRESULT>(wParam * 2 + lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WineMessages, MessageOnlyWindowAnswersSynchronousMessageFromSecondThread) {
    const wchar_t* className = L"ZelnFoundationTestWindow";
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = answeringProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    ASSERT_NE(0, RegisterClassExW(&windowClass));
    HWND window = CreateWindowExW(0, className, className, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    // The input method's windows are looked up among message-only windows by class and title.
    EXPECT_EQ(window, FindWindowExW(HWND_MESSAGE, nullptr, className, className));

    std::atomic<bool> done{false};
    LRESULT answer = 0;
    const std::unique_ptr<platform::Thread> sender = platform::startThread([&] {
        answer = SendMessageW(window, kAsk, 20, 2);
        done = true;
    });
    ASSERT_NE(nullptr, sender);
    // The sender waits inside SendMessageW until this thread pumps and the window procedure answers.
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!done && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    sender->wait();
    EXPECT_TRUE(done);
    EXPECT_EQ(42, answer);
    EXPECT_EQ(GetCurrentThreadId(), answeredOnThread.load());
    DestroyWindow(window);
    UnregisterClassW(className, windowClass.hInstance);
}

// A 3 x 2 RGBA PNG: red everywhere but a half-transparent blue at (1, 0) and green at (2, 1).
const unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x9d, 0x74, 0x66,
    0x1a, 0x00, 0x00, 0x00, 0x14, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0xc0, 0x00,
    0x42, 0x0d, 0x60, 0x1a, 0x44, 0x40, 0x19, 0xff, 0x01, 0x8f, 0x93, 0x0b, 0x76, 0xb7, 0xc4, 0x38,
    0xd1, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

TEST(WineGdiPlus, DecodesPngFromGlobalMemoryStream) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, nullptr));
    {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof kPng);
        ASSERT_NE(nullptr, memory);
        std::memcpy(GlobalLock(memory), kPng, sizeof kPng);
        GlobalUnlock(memory);
        IStream* stream = nullptr;
        ASSERT_EQ(S_OK, CreateStreamOnHGlobal(memory, TRUE, &stream));
        Gdiplus::Bitmap bitmap(stream);
        ASSERT_EQ(Gdiplus::Ok, bitmap.GetLastStatus());
        EXPECT_EQ(3u, bitmap.GetWidth());
        EXPECT_EQ(2u, bitmap.GetHeight());
        Gdiplus::Color color;
        ASSERT_EQ(Gdiplus::Ok, bitmap.GetPixel(0, 0, &color));
        EXPECT_EQ(0xFFFF0000u, color.GetValue());
        ASSERT_EQ(Gdiplus::Ok, bitmap.GetPixel(1, 0, &color));
        EXPECT_EQ(0x800000FFu, color.GetValue());
        ASSERT_EQ(Gdiplus::Ok, bitmap.GetPixel(2, 1, &color));
        EXPECT_EQ(0xFF00FF00u, color.GetValue());
        stream->Release();
    }
    Gdiplus::GdiplusShutdown(token);
}

}  // namespace
