// The wizard's window and views over the real engine: the pages the engine's notifications lead to, the
// progress bar's arithmetic and pixels, the agreement box, all at 100, 125, 150 and 200 percent, one install
// run at 125 percent from the install button to the success page through a package appended to a copy of this
// program, each picture filtered to the display's size once, and an install that cannot start.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "app/CInstallerWindow.h"
#include "app/CProgressView.h"
#include "app/Deployment.h"
#include "app/UIInstallerView.h"
#include "engine/InstallSequence.h"
#include "engine/InstallerEngine.h"
#include "platform/GivenSystemFacts.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/Win32DirectoryWalk.h"
#include "tests/win/toolkit/toolkit_test_support.h"
#include "toolkit/UIResources.h"
#include "tools/pkgtool/PackageWriter.h"

namespace {

using platform::ScopedHandle;
using pkgtool::Bytes;

// Counts what the install sequence asks of the system; every step succeeds. The registration can be held
// until the test lets it go on.
class CountingSteps final : public SystemSteps {
public:
    int runs = 0;
    std::function<void()> duringRegistration;
    void stopRunningServices() override { ++runs; }
    bool notifyImeBeforeInstall() override { return true; }
    InstallResult clearOutdatedImeModules(const PackageVersion&, const PackageVersion&, ChangeJournal&,
                                          InstallLog&) override {
        return 0;
    }
    void removeInstalledEdition(ChangeJournal&, InstallLog&) override {}
    void removeEarlierEditions(ChangeJournal&, InstallLog&) override {}
    InstallResult registerFontsAndProductKeys(const InstallerContext&, ChangeJournal&, InstallLog&) override {
        if (duringRegistration) duringRegistration();
        return 0;
    }
    void writeProductRegistration(const InstallerContext&, ChangeJournal&, InstallLog&) override {}
    void writeUninstallEntry(const InstallerContext&, ChangeJournal&, InstallLog&) override {}
    void notifyImeAfterInstall() override {}
    bool undoChange(const JournalRecord&, InstallLog&) override { return true; }
};

std::wstring temporaryFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"zeln-wizard-" + std::to_wstring(GetTickCount64());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

Bytes ownImage() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::ifstream in(self, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::wstring& path, const Bytes& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A copy of this program carrying a two-file package of product version 7.27.1.0.
std::wstring writeInstaller(const std::wstring& folder) {
    const std::string text = "placed by the wizard";
    const std::vector<pkgtool::PackageFile> files = {
        {L"ZelnIME\\readme.txt", DEST_INSTALL, true, Bytes(text.begin(), text.end())},
        {L"Zelnsoft\\user.dat", DEST_ROAMING, true, Bytes(4000, 'u')},
    };
    const Bytes unpacked = pkgtool::decompressedPackage(files);
    const Bytes member = pkgtool::gzipMember(unpacked);
    PackageTrailer trailer;
    trailer.magic = PACKAGE_MAGIC;
    trailer.productVersion = {7, 27, 1, 0};
    trailer.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
    trailer.directoryOffset = static_cast<std::uint32_t>(unpacked.size() - files.size() * ENTRY_SIZE);
    trailer.packedSize = static_cast<std::uint32_t>(member.size());
    const std::wstring path = folder + L"\\setup.exe";
    writeAll(path, pkgtool::installerBytes(ownImage(), member, trailer));
    return path;
}

// The wizard in its window at a display scale, laid out at 720 x 547 and rendered once, over the given
// program file.
struct Wizard {
    explicit Wizard(const std::wstring& program, float scale = 1.0f) {
        facts.version.majorVersion = 6;
        facts.version.minorVersion = 1;
        facts.version.productType = platform::PRODUCT_WORKSTATION;
        facts.nativeArchitecture = platform::PROCESSOR_ARCH_AMD64;
        facts.windowsDir = scratch + L"\\Windows";
        facts.systemWindowsDir = scratch + L"\\Windows";
        facts.roaming = scratch + L"\\Users\\u\\AppData\\Roaming";
        facts.module = program;
        window = std::make_unique<CInstallerWindow>(InstallerParts{engine, facts, files, steps});
        parkPointer();
        window->createTopLevel(GetModuleHandleW(nullptr), 0, WS_EX_APPWINDOW,
                               WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, kInstallerWindowClass);
        window->setScale(scale);
        window->setFrame(40, 40, kInstallerWindowWidth, kInstallerWindowHeight);
        view = static_cast<UIInstallerView*>(window->rootView());
        pumpQueued();
    }

    std::wstring scratch = temporaryFolder();
    platform::GivenSystemFacts facts;
    platform::Win32DirectoryWalk files;
    InstallerEngine engine;
    CountingSteps steps;
    std::unique_ptr<CInstallerWindow> window;
    UIInstallerView* view = nullptr;
};

void expectFrame(const UIView* view, UIRect expected) {
    const UIRect frame = view->frame();
    EXPECT_EQ(expected.x, frame.x);
    EXPECT_EQ(expected.y, frame.y);
    EXPECT_EQ(expected.width, frame.width);
    EXPECT_EQ(expected.height, frame.height);
}

// Green pixels in a row of the view, in device pixels.
int greenInRow(const UIView* view, int32_t row) {
    int length = 0;
    for (int32_t x = 0; x < deviceSize(view).x; ++x) {
        const uint32_t pixel = pixelAt(view, x, row);
        if (greenOf(pixel) == 0xFF && redOf(pixel) == 0) ++length;
    }
    return length;
}

// The bar's length as the progress view paints it, and as the page shows it.
int greenLength(const UIView* bar) { return greenInRow(bar, deviceSize(bar).y - 3); }
int greenLengthOnPage(const UIView* bar) {
    return greenInRow(bar->parent(), deviceLength(bar->frame().y, bar->scale()) + deviceSize(bar).y - 3);
}

// A logical length of the view's grid in its device pixels.
int32_t onDevice(const UIView* view, int32_t logical) { return deviceLength(logical, view->scale()); }

// How many pixels of a rectangle (on the logical grid) of the wizard as shown have colour channels in the
// given ranges.
int countPixels(const UIView* view, UIRect logical, uint8_t redMin, uint8_t redMax, uint8_t greenMin,
                uint8_t greenMax, uint8_t blueMin, uint8_t blueMax) {
    const UIRect area{onDevice(view, logical.x), onDevice(view, logical.y), onDevice(view, logical.width),
                      onDevice(view, logical.height)};
    int count = 0;
    for (int32_t y = area.y; y < area.y + area.height; ++y) {
        for (int32_t x = area.x; x < area.x + area.width; ++x) {
            const uint32_t pixel = pixelAt(view, x, y);
            count += alphaOf(pixel) == 0xFF && redOf(pixel) >= redMin && redOf(pixel) <= redMax &&
                     greenOf(pixel) >= greenMin && greenOf(pixel) <= greenMax && blueOf(pixel) >= blueMin &&
                     blueOf(pixel) <= blueMax;
        }
    }
    return count;
}

// The orange-brown version text below the welcome page's middle, and the near-black result code written
// downwards from (424, 290) on the general failure page.
int versionInk(const UIView* page) { return countPixels(page, UIRect{200, 405, 320, 50}, 150, 255, 40, 130, 0, 80); }
int resultCodeInk(const UIView* page) { return countPixels(page, UIRect{398, 288, 26, 60}, 0, 90, 0, 90, 0, 90); }

// Each of the four channels within 2.
bool sameColour(uint32_t first, uint32_t second) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(static_cast<int>((first >> shift) & 0xFF) - static_cast<int>((second >> shift) & 0xFF)) > 2) {
            return false;
        }
    }
    return true;
}

// Whether the wizard shows the page picture of that resource number, in its form for the page's scale (the
// double-size one above 100 percent): its part above the result code and left of the controls, where the
// failure pictures differ, matches that form as the drawing library draws it over the page's frame at the
// scale with its best filter (at 100 and 200 percent, pixel for pixel).
bool showsPicture(const UIView* page, int32_t picture) {
    ResourceCopy copy;
    const wchar_t* form = page->scale() > 1.0f ? kDoubleSizePngType : L"PNG";
    if (loadResourceCopy(GetModuleHandleW(nullptr), picture, form, copy) != 0) return false;
    UIImage image(copy.bytes, copy.length);
    freeResourceCopy(copy.block);
    Gdiplus::GpBitmap* drawn = nullptr;
    Gdiplus::GpGraphics* graphics = nullptr;
    using Gdiplus::DllExports::GdipCreateBitmapFromScan0;
    const UIPoint size = deviceSize(page);
    if (image.bitmap() == nullptr ||
        GdipCreateBitmapFromScan0(size.x, size.y, 0, PixelFormat32bppPARGB, nullptr, &drawn) != Gdiplus::Ok) {
        return false;
    }
    ScopedImage ownedBitmap(drawn);
    if (Gdiplus::DllExports::GdipGetImageGraphicsContext(drawn, &graphics) != Gdiplus::Ok) return false;
    ScopedGraphics ownedGraphics(graphics);
    Gdiplus::DllExports::GdipScaleWorldTransform(graphics, page->scale(), page->scale(), Gdiplus::MatrixOrderPrepend);
    Gdiplus::DllExports::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    Gdiplus::DllExports::GdipDrawImageRectI(graphics, image.bitmap(), 0, 0, page->frame().width, page->frame().height);
    int mismatches = 0;
    for (int32_t y = onDevice(page, 12); y < onDevice(page, 286); y += 3) {
        for (int32_t x = onDevice(page, 12); x < onDevice(page, 430); x += 3) {
            Gdiplus::ARGB expected = 0;
            Gdiplus::DllExports::GdipBitmapGetPixel(drawn, x, y, &expected);
            mismatches += !sameColour(expected, pixelAt(page, x, y));
        }
    }
    return mismatches == 0;
}

TEST(WineWizard, WindowHelpersCentreAtTheScaleReadTheDisplaysDpiAndBoundTheDragStrip) {
    // At a scale the window's size is 720 s x 547 s truncated: 900 x 683 at 125 %, 1080 x 820 at 150 %,
    // 1440 x 1094 at 200 %.
    const struct {
        int32_t screenWidth, screenHeight;
        float scale;
        int32_t x, y;
    } screens[] = {{1920, 1080, 1.0f, 600, 266}, {1366, 768, 1.0f, 323, 110}, {800, 500, 1.0f, 40, -23},
                   {1366, 768, 1.25f, 233, 42},  {1920, 1080, 1.5f, 420, 130}, {1920, 1200, 2.0f, 240, 53}};
    for (const auto& screen : screens) {
        const UIPoint centred = centredPosition(screen.screenWidth, screen.screenHeight, screen.scale);
        EXPECT_EQ(screen.x, centred.x) << screen.screenWidth << " x " << screen.screenHeight << " at " << screen.scale;
        EXPECT_EQ(screen.y, centred.y) << screen.screenWidth << " x " << screen.screenHeight << " at " << screen.scale;
    }
    // The test's prefix runs at Wine's default of 96 dots per inch. Wine's shcore answers that system DPI for
    // every monitor too: the first scale of a Windows without GetDpiForWindow comes from there.
    Wizard wizard(L"C:\\absent\\setup.exe");
    EXPECT_EQ(1.0f, displayScale(wizard.window->handle()));
    EXPECT_EQ(96u, monitorDpi(wizard.window->handle()));
    EXPECT_TRUE(isInDragStrip(20, 10));
    EXPECT_TRUE(isInDragStrip(100, 39));
    EXPECT_FALSE(isInDragStrip(100, 9));
    EXPECT_FALSE(isInDragStrip(100, 40));
    EXPECT_FALSE(isInDragStrip(639, 20));
}

// Refuses to make the engine's message window, as a system out of window resources would.
LRESULT CALLBACK refuseEngineWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const wchar_t* title = reinterpret_cast<const CBT_CREATEWNDW*>(lParam)->lpcs->lpszName;
        if (title != nullptr && wcscmp(title, ENGINE_WINDOW_NAME) == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The code of the quit message this thread gets within the time; -1 when none comes.
int quitCodeWithin(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    MSG message;
    while (GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return -1;
}

// An install whose message window cannot be made would run unheard: it does not start, nothing is asked of
// the system, the general failure page writes 1603, and the unattended wizard still closes itself with 1603.
// The engine's message window lives for the process once made, so this comes before every test that installs.
TEST(WineWizard, InstallThatCannotStartShowsTheGeneralFailurePageAndClosesWith1603) {
    ASSERT_EQ(nullptr, FindWindowExW(HWND_MESSAGE, nullptr, ENGINE_WINDOW_NAME, nullptr)) << "made by an earlier test";
    Wizard wizard(writeInstaller(temporaryFolder()));
    UIInstallerView& view = *wizard.view;
    {
        const std::unique_ptr<std::remove_pointer_t<HHOOK>, decltype(&UnhookWindowsHookEx)> refusal(
            SetWindowsHookExW(WH_CBT, refuseEngineWindow, nullptr, GetCurrentThreadId()), &UnhookWindowsHookEx);
        ASSERT_NE(nullptr, refusal);
        view.installWithoutClick();
    }
    EXPECT_EQ(0, wizard.steps.runs);
    EXPECT_EQ(EXIT_INSTALL_FAILURE, view.exitCode());
    EXPECT_EQ(EXIT_INSTALL_FAILURE, UIInstallerView::shownFailureCode());
    pumpQueued();
    EXPECT_TRUE(showsPicture(&view, PICTURE_FAILURE_CODE));
    EXPECT_GT(resultCodeInk(&view), 20);
    EXPECT_EQ(EXIT_INSTALL_FAILURE, quitCodeWithin(kCloseAfterLastPageMs + 5000));
}

// What the program writes to the debugger: OutputDebugStringW raises a printing exception, which a vectored
// handler sees first and lets pass.
std::string debuggerOutput;
LONG CALLBACK captureDebuggerOutput(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        debuggerOutput.append(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(WineWizard, SystemCommandsAreTracedInUpperCaseHexadecimal) {
    Wizard wizard(L"C:\\absent\\setup.exe");
    PVOID handler = AddVectoredExceptionHandler(1, captureDebuggerOutput);
    debuggerOutput.clear();
    // A command the system does not know: traced, then left to the default handling, which ignores it.
    wizard.window->windowProc(WM_SYSCOMMAND, 0xF0F0, 0x140028);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ("112\tF0F0\t140028\n", debuggerOutput);
}

TEST(WineWizard, ProgressTextStartsBehindTheFillAndStopsShortOfTheEnd) {
    EXPECT_NEAR(294.1f, percentTextX(698, 0.45f), 0.01f);
    EXPECT_FLOAT_EQ(638.0f, percentTextX(698, 1.0f));
    EXPECT_NEAR(13.96f, percentTextX(698, 0.02f), 0.01f);
    EXPECT_EQ(45, wholePercent(0.45f));
    EXPECT_EQ(100, wholePercent(1.0f));
}

void click(const UIWindow& window, int32_t x, int32_t y) {
    sendMouse(window, WM_MOUSEMOVE, 0, x, y);
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    sendMouse(window, WM_LBUTTONUP, 0, x, y);
    pumpQueued();
}

// The wizard's pages at 100 to 200 percent: the layout stays on the 720 x 547 grid, the pictures are the
// forms for the scale, and what the program draws itself is drawn at the scale.
class WineWizardAtScale : public ::testing::TestWithParam<float> {};

TEST_P(WineWizardAtScale, WelcomePageLaysOutItsControlsAndTheAgreementBoxGatesInstalling) {
    Wizard wizard(L"C:\\absent\\setup.exe", GetParam());
    UIInstallerView& view = *wizard.view;
    const auto device = [&](int32_t logical) { return onDevice(&view, logical); };
    expectFrame(view.installButton(), UIRect{653, 193, 44, 160});
    expectFrame(view.agreementBox(), UIRect{587, 74, 16, 16});
    expectFrame(view.agreementLink(), UIRect{584, 310, 24, 160});
    expectFrame(view.recommendLink(), UIRect{664, 68, 22, 136});
    EXPECT_TRUE(view.recommendLink()->isHidden());
    EXPECT_EQ(nullptr, view.progressView());
    // The welcome picture's opaque panel and its transparent outer edge, over the window's whole device size.
    EXPECT_EQ(0xFF, alphaOf(pixelAt(&view, device(300), device(300))));
    EXPECT_EQ(0, alphaOf(pixelAt(&view, 0, 0)));
    EXPECT_EQ(0, alphaOf(pixelAt(&view, device(720) - 1, device(547) - 1)));
    EXPECT_EQ(0xDEADBEEFu, pixelAt(&view, device(720), 0));

    // Clicked where the box shows at the scale.
    click(*wizard.window, device(595), device(82));
    EXPECT_EQ(0, view.agreementBox()->tag());
    EXPECT_TRUE(view.installButton()->isDisabled());
    click(*wizard.window, device(595), device(82));
    EXPECT_EQ(1, view.agreementBox()->tag());
    EXPECT_FALSE(view.installButton()->isDisabled());
}

TEST_P(WineWizardAtScale, NotificationsSwitchPagesAndMoveTheBar) {
    Wizard wizard(L"C:\\absent\\setup.exe", GetParam());
    UIInstallerView& view = *wizard.view;
    const auto device = [&](int32_t logical) { return onDevice(&view, logical); };
    EXPECT_TRUE(showsPicture(&view, PICTURE_WELCOME));
    EXPECT_GT(versionInk(&view), 40);
    EXPECT_EQ(1602, view.exitCode()) << "closed before the install: the user's exit";
    view.handleAction(ACTION_INSTALL, view.installButton());
    ASSERT_NE(nullptr, view.progressView());
    EXPECT_EQ(1602, view.exitCode()) << "closed during the install: the user's exit";
    // Unticked between the press and the engine's answer: the finish button must still work.
    view.handleAction(ACTION_AGREEMENT_BOX, view.agreementBox());
    // No program file: the run fails at once, straight from the welcome page; the test drives on from there.
    ASSERT_TRUE(pumpUntil([&] { return view.installButton()->tag() == 1; }));
    EXPECT_EQ(ERR_OPEN, UIInstallerView::shownFailureCode());
    EXPECT_EQ(ERR_OPEN, view.exitCode());
    EXPECT_FALSE(view.installButton()->isDisabled());
    EXPECT_TRUE(view.agreementBox()->isHidden());
    EXPECT_TRUE(view.agreementLink()->isHidden());
    pumpQueued();
    EXPECT_TRUE(showsPicture(&view, PICTURE_FAILURE_CODE));
    EXPECT_GT(resultCodeInk(&view), 20);
    EXPECT_EQ(0, versionInk(&view));

    CProgressView& bar = *view.progressView();
    // The failure hid the bar; a run that began shows it.
    bar.setHidden(false);
    UIInstallerView::onEngineMessage(WM_INSTALL_BEGIN, 0, 0);
    EXPECT_EQ(-1, UIInstallerView::shownFailureCode());
    pumpQueued();
    EXPECT_TRUE(showsPicture(&view, PICTURE_INSTALLING));
    EXPECT_EQ(0, versionInk(&view));
    EXPECT_EQ(0, resultCodeInk(&view));
    EXPECT_TRUE(view.installButton()->isHidden());
    EXPECT_TRUE(view.agreementBox()->isHidden());
    EXPECT_TRUE(view.agreementLink()->isHidden());

    // A notice repaints the bar alone, which the page then shows over its kept painting: no picture is
    // filtered again while the scale stays.
    const uint64_t filteredWithThePage = pictureFilterings();
    UIInstallerView::onEngineMessage(WM_INSTALL_PROGRESS, 45, 0);
    EXPECT_TRUE(bar.isDirty());
    EXPECT_FALSE(view.isDirty());
    pumpQueued();
    EXPECT_FLOAT_EQ(0.45f, bar.progress());
    // The fill is laid on the device's pixels through the scale: 314 pixels of the grid are 392.5 at 125 %,
    // which the drawing library fills as it rounds.
    EXPECT_NEAR(314.0f * view.scale(), greenLength(&bar), 1.0f);
    EXPECT_EQ(greenLength(&bar), greenLengthOnPage(&bar));
    UIInstallerView::onEngineMessage(WM_INSTALL_PROGRESS, 45, 0);
    EXPECT_FALSE(bar.isDirty());
    EXPECT_FALSE(view.progressRepaintWaiting());
    // Notices that come sooner after a repaint than eight of the window's renders wait for the bar's turn and
    // are shown together: the bar keeps what it showed until then, and then shows the last of them.
    const double renderMs = wizard.window->lastRenderMs();
    UIInstallerView::onEngineMessage(WM_INSTALL_PROGRESS, 3, 0);
    UIInstallerView::onEngineMessage(WM_INSTALL_PROGRESS, 2, 0);
    if (renderMs >= 1.0) {
        EXPECT_TRUE(view.progressRepaintWaiting()) << "the last render took " << renderMs << " ms";
        EXPECT_FALSE(bar.isDirty());
        pumpQueued();
        EXPECT_NEAR(314.0f * view.scale(), greenLength(&bar), 1.0f);
    }
    EXPECT_TRUE(pumpUntil([&] { return !view.progressRepaintWaiting(); }, 2000));
    pumpQueued();
    EXPECT_FLOAT_EQ(0.02f, bar.progress());
    EXPECT_NEAR(13.0f * view.scale(), greenLength(&bar), 1.0f);
    EXPECT_EQ(greenLength(&bar), greenLengthOnPage(&bar));
    UIInstallerView::onEngineMessage(WM_INSTALL_PROGRESS, 150, 0);
    EXPECT_TRUE(pumpUntil([&] { return !view.progressRepaintWaiting(); }, 2000));
    pumpQueued();
    EXPECT_FLOAT_EQ(1.0f, bar.progress());
    EXPECT_EQ(device(698), greenLength(&bar));
    EXPECT_TRUE(showsPicture(&view, PICTURE_INSTALLING));
    EXPECT_EQ(filteredWithThePage, pictureFilterings());

    UIInstallerView::onEngineMessage(WM_INSTALL_FAILURE, ERR_MISSING_FILE, 0);
    EXPECT_EQ(17, UIInstallerView::shownFailureCode());
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(1, view.installButton()->tag());
    EXPECT_FALSE(view.installButton()->isHidden());
    expectFrame(view.installButton(), UIRect{653, 397, 44, 105});

    // Each result selects its picture: 140 for 2, 142 for 1, and 141 with the code in parentheses for the rest.
    const struct {
        int result;
        int32_t picture;
        bool writesCode;
    } outcomes[] = {{ERR_MISSING_FILE, PICTURE_FAILURE_CODE, true},
                    {ERR_PRECHECK, PICTURE_FAILURE_BUSY, false},
                    {ERR_UNSUPPORTED_EDITION, PICTURE_FAILURE, false},
                    {0, PICTURE_FAILURE_CODE, true}};
    for (const auto& outcome : outcomes) {
        UIInstallerView::onEngineMessage(WM_INSTALL_FAILURE, outcome.result, 0);
        pumpQueued();
        EXPECT_EQ(outcome.writesCode ? outcome.result : -1, UIInstallerView::shownFailureCode());
        EXPECT_EQ(outcome.result, view.exitCode()) << "the failure page's finish or close exits with its code";
        for (int32_t picture : {PICTURE_FAILURE_BUSY, PICTURE_FAILURE_CODE, PICTURE_FAILURE}) {
            EXPECT_EQ(picture == outcome.picture, showsPicture(&view, picture)) << "result " << outcome.result;
        }
        EXPECT_EQ(outcome.writesCode, resultCodeInk(&view) > 20) << "result " << outcome.result;
        EXPECT_EQ(0, versionInk(&view)) << "result " << outcome.result;
    }
    // Any later notification takes the written code away.
    UIInstallerView::onEngineMessage(WM_INSTALL_PROGRESS, 50, 0);
    pumpQueued();
    EXPECT_EQ(0, resultCodeInk(&view));
    EXPECT_TRUE(showsPicture(&view, PICTURE_FAILURE_CODE));

    // A success the next restart completes has its own page and tells deployment tools so.
    for (const auto& [kind, picture, exitCode] : {std::tuple{RESTART_COMPLETES, PICTURE_SUCCESS_RESTART, 3010},
                                                  std::tuple{INSTALL_COMPLETE, PICTURE_SUCCESS, 0}}) {
        UIInstallerView::onEngineMessage(WM_INSTALL_SUCCESS, kind, 0);
        pumpQueued();
        EXPECT_TRUE(showsPicture(&view, picture)) << "success " << kind;
        EXPECT_FALSE(showsPicture(&view, kind == RESTART_COMPLETES ? PICTURE_SUCCESS : PICTURE_SUCCESS_RESTART));
        EXPECT_EQ(exitCode, view.exitCode());
        EXPECT_EQ(-1, UIInstallerView::shownFailureCode());
        EXPECT_FALSE(view.recommendLink()->isHidden());
    }
}

INSTANTIATE_TEST_SUITE_P(DisplayScales, WineWizardAtScale, ::testing::Values(1.0f, 1.25f, 1.5f, 2.0f));

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

std::vector<std::string> recordedLines(const std::wstring& record) {
    std::ifstream in(record.c_str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The links go through the system's own explorer, which hands the address to the user's browser (the harness's
// stand-in records it in C:\browser-addresses.txt). An "explorer.exe" beside this program, as one could be
// planted beside the installer in a download folder, records its command line if it ever runs: it never does.
TEST(WineWizard, LinksOpenTheirPagesThroughTheSystemsExplorerOnlyWhileTheirPagesShowThem) {
    const std::wstring addresses = L"C:\\browser-addresses.txt";
    const std::wstring planted = besideThisProgram(L"explorer-commands.txt");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(besideThisProgram(L"explorer.exe").c_str()));
    DeleteFileW(addresses.c_str());
    DeleteFileW(planted.c_str());
    const std::string agreement = ZELN_MAKER_SITE "/site/alias__dovevoz/2826/Default.aspx";
    const std::string recommend = ZELN_MAKER_SITE "/site/alias__dovevoz/2824/Default.aspx#recommend";
    Wizard wizard(L"C:\\absent\\setup.exe");

    // The agreement link area over the welcome page's link text.
    click(*wizard.window, 596, 390);
    ASSERT_TRUE(pumpUntil([&] { return recordedLines(addresses).size() == 1; }, 30000));
    EXPECT_EQ(agreement, recordedLines(addresses)[0]);

    // From the installing page on, the same place is only the page: nothing runs.
    UIInstallerView::onEngineMessage(WM_INSTALL_BEGIN, 0, 0);
    pumpQueued();
    click(*wizard.window, 596, 390);

    // The success page's link area, over its own link text.
    UIInstallerView::onEngineMessage(WM_INSTALL_SUCCESS, 0, 0);
    pumpQueued();
    EXPECT_TRUE(showsPicture(wizard.view, PICTURE_SUCCESS));
    EXPECT_EQ(0, versionInk(wizard.view));
    click(*wizard.window, 675, 136);
    ASSERT_TRUE(pumpUntil([&] { return recordedLines(addresses).size() >= 2; }, 30000));
    Sleep(500);
    EXPECT_EQ((std::vector<std::string>{agreement, recommend}), recordedLines(addresses));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(planted.c_str())) << "the explorer beside the program ran";
}

// At 125 percent, where no form of a picture has the device size, so that every picture shown is filtered.
TEST(WineWizard, InstallButtonRunsOneInstallToTheSuccessPageHoweverOftenItIsPressed) {
    const std::wstring folder = temporaryFolder();
    Wizard wizard(writeInstaller(folder), 1.25f);
    UIInstallerView& view = *wizard.view;
    ASSERT_TRUE(pumpUntil([&] { return view.picturesPrepared(); }, 5000));
    const uint64_t filteredAtWelcome = pictureFilterings();
    PackageVersion version{};
    wizard.engine.productVersion(version);
    EXPECT_EQ((PackageVersion{7, 27, 1, 0}), version);

    view.handleAction(ACTION_INSTALL, view.installButton());
    view.handleAction(ACTION_INSTALL, view.installButton());
    ASSERT_TRUE(pumpUntil([&] { return view.installButton()->tag() == 1; }, 30000));
    EXPECT_EQ(-1, UIInstallerView::shownFailureCode());
    EXPECT_EQ(0, view.exitCode());
    EXPECT_FALSE(view.recommendLink()->isHidden());
    EXPECT_TRUE(view.progressView()->isHidden());
    EXPECT_FLOAT_EQ(1.0f, view.progressView()->progress());
    EXPECT_EQ(1, wizard.steps.runs);
    pumpQueued();
    EXPECT_TRUE(showsPicture(&view, PICTURE_SUCCESS));
    EXPECT_EQ(0, versionInk(&view));
    // The pictures the install shows (its page, the success page, the finish button) were filtered while the
    // welcome page waited: however many renders the bar took, the install itself filtered none.
    EXPECT_EQ(0u, pictureFilterings() - filteredAtWelcome);
}

// Closed during the install (the close button, Alt+F4 or the taskbar all close the window): the window goes at
// once, the install stops at its next step and undoes what it placed, and the program ends with 1602 when it
// has.
TEST(WineWizard, ClosingDuringTheInstallHidesTheWindowUndoesTheInstallAndExitsWith1602) {
    const std::wstring folder = temporaryFolder();
    Wizard wizard(writeInstaller(folder));
    wizard.window->setHidden(false);
    UIInstallerView& view = *wizard.view;
    const ScopedHandle registering(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const ScopedHandle goOn(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    wizard.steps.duringRegistration = [&] {
        SetEvent(registering.get());
        WaitForSingleObject(goOn.get(), 30000);
    };
    const std::wstring installDirectory = wizard.scratch + L"\\Program Files (x86)\\Zelnsoft";
    const std::wstring placed = installDirectory + L"\\ZelnIME\\readme.txt";

    view.handleAction(ACTION_INSTALL, view.installButton());
    ASSERT_TRUE(pumpUntil([&] { return WaitForSingleObject(registering.get(), 0) == WAIT_OBJECT_0; }, 30000));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(placed.c_str())) << "placed before the registration";
    EXPECT_TRUE(view.installRunning());
    SendMessageW(wizard.window->handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(wizard.window->handle()));
    EXPECT_TRUE(IsWindow(wizard.window->handle())) << "the window stays until the install has stopped";
    SetEvent(goOn.get());

    ASSERT_TRUE(pumpUntil([&] { return !view.installRunning(); }, 30000));
    EXPECT_EQ(1602, view.exitCode());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(placed.c_str())) << "what was placed is taken away";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((installDirectory + L"\\tmp").c_str()));
}

}  // namespace
