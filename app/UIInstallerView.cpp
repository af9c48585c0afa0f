#include "app/UIInstallerView.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "app/CProgressView.h"
#include "app/Deployment.h"
#include "app/PageText.h"
#include "app/WizardLayout.h"
#include "engine/InstallSequence.h"
#include "engine/InstallerEngine.h"
#include "platform/win32/SystemFolder.h"
#include "toolkit/UIResources.h"
#include "toolkit/UIWindow.h"

using namespace Gdiplus;

namespace {

// The maker's web site is a build setting (ZELN_MAKER_SITE, scheme and host); the pages' paths are the site's own.
constexpr wchar_t kMakerSite[] = L"" ZELN_MAKER_SITE;
constexpr wchar_t kAgreementPage[] = L"/site/alias__dovevoz/2826/Default.aspx";
constexpr wchar_t kRecommendPage[] = L"/site/alias__dovevoz/2824/Default.aspx#recommend";

constexpr uint32_t kVersionColor = 0xFFCA5100;
constexpr uint32_t kFailureCodeColor = 0xFF0A0A0A;
constexpr float kVersionTop = 420.0f;

// The one wizard of the process, for the engine's callback, and the result code its failure page shows.
UIInstallerView* installerView = nullptr;
int32_t failureCodeShown = -1;

}  // namespace

UIInstallerView::UIInstallerView(UIWindow* window, const InstallerParts& parts)
    : UIView(window), parts_(parts), exitCode_(EXIT_INSTALL_USEREXIT) {
    installerView = this;
    backgroundImage_ = loadPng(PICTURE_WELCOME);

    installButton_ = addButton(ACTION_INSTALL);
    installButton_->setTag(0);
    installButton_->normalImage = loadPng(PICTURE_INSTALL_BUTTON);
    installButton_->disabledImage = loadPng(PICTURE_INSTALL_DISABLED);

    closeButton_ = addButton(ACTION_CLOSE);
    closeButton_->normalImage = loadPng(PICTURE_CLOSE);
    closeButton_->pressedImage = closeButton_->hoverImage = loadPng(PICTURE_CLOSE_HOT);

    minimizeButton_ = addButton(ACTION_MINIMIZE);
    minimizeButton_->normalImage = loadPng(PICTURE_MINIMIZE);
    minimizeButton_->pressedImage = minimizeButton_->hoverImage = loadPng(PICTURE_MINIMIZE_HOT);

    agreementBox_ = addButton(ACTION_AGREEMENT_BOX);
    agreementBox_->setTag(1);
    agreementBox_->normalImage = loadPng(PICTURE_BOX_TICKED);

    agreementLink_ = addButton(ACTION_AGREEMENT_LINK);

    recommendLink_ = addButton(ACTION_RECOMMEND_LINK);
    recommendLink_->setHidden(true);

    // A package that cannot be found is not reported here: the install run reports it as its failure.
    parts_.engine.initialize(parts_.facts, parts_.files, &UIInstallerView::onEngineMessage);
    // A timer comes only when nothing else waits: the pictures are prepared after the welcome page shows. A
    // window the system could not make shows nothing, and a timer without one would tick for the thread for good.
    if (window->handle() != nullptr) SetTimer(window->handle(), kPreparePicturesTimer, USER_TIMER_MINIMUM, nullptr);
}

UIInstallerView::~UIInstallerView() {
    // The children list holds references of its own; these are the view's.
    UIView* owned[] = {installButton_, minimizeButton_, agreementBox_, agreementLink_,
                       recommendLink_, closeButton_,    progressView_};
    for (UIView* view : owned) {
        if (view != nullptr) view->release();
    }
    if (backgroundImage_ != nullptr) backgroundImage_->release();
    for (UIImage* picture : prepared_) picture->release();
    if (installerView == this) installerView = nullptr;
}

UIButton* UIInstallerView::addButton(int32_t action) {
    auto* button = new UIButton(window()->handle());
    button->setAction(this, action);
    addChild(button);
    return button;
}

// The picture with its double-size form, which the views draw above 100 percent; a prepared one is shared.
UIImage* UIInstallerView::loadPng(int32_t id) const {
    for (size_t i = 0; i < prepared_.size(); ++i) {
        if (kPicturesOfTheInstall[i] != id) continue;
        prepared_[i]->retain();
        return prepared_[i];
    }
    return loadPngResource(window()->instance(), id);
}

bool UIInstallerView::prepareNextPicture() {
    if (picturesPrepared()) return false;
    const int32_t id = kPicturesOfTheInstall[prepared_.size()];
    UIImage* picture = loadPngResource(window()->instance(), id);
    const UIRect page = frame();
    const UIRect fitted = id == PICTURE_FINISH_BUTTON ? finishButtonFrame(page.width, page.height) : page;
    picture->pixelsAt(fitted.width, fitted.height, scale());
    prepared_.push_back(picture);
    return !picturesPrepared();
}

void UIInstallerView::replaceBackground(int32_t picture) {
    if (backgroundImage_ != nullptr) backgroundImage_->release();
    backgroundImage_ = loadPng(picture);
}

void UIInstallerView::setFrame(UIRect frame) {
    UIView::setFrame(frame);
    const int32_t width = frame.width;
    const int32_t height = frame.height;
    installButton_->setFrame(installButtonFrame(width, height));
    closeButton_->setFrame(closeButtonFrame(width));
    minimizeButton_->setFrame(minimizeButtonFrame(width));
    agreementBox_->setFrame(agreementBoxFrame());
    agreementLink_->setFrame(agreementLinkFrame());
    recommendLink_->setFrame(recommendLinkFrame());
}

void UIInstallerView::paint(GpGraphics* graphics, UIRect bounds) {
    if (installButton_->tag() == 0 && !installButton_->isHidden()) paintVersion(graphics, bounds);
    if (failureCodeShown >= 0) paintFailureCode(graphics);
}

// The package's product version, centred a little left of the middle of the welcome page.
void UIInstallerView::paintVersion(GpGraphics* graphics, UIRect bounds) const {
    PackageVersion version{};
    parts_.engine.productVersion(version);
    wchar_t text[64];
    // The trailer's numbers are unsigned 32-bit values and are written as such.
    wsprintfW(text, L"v %u.%u.%u.%u", version[0], version[1], version[2], version[3]);

    ScopedFont font = makePointFont(L"Arial", 18.0f);
    if (!font) return;
    DllExports::GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);
    GpStringFormat* typographic = nullptr;
    DllExports::GdipStringFormatGetGenericTypographic(&typographic);
    const RectF origin(0, 0, 0, 0);
    RectF measured(0, 0, 0, 0);
    DllExports::GdipMeasureString(graphics, text, static_cast<INT>(wcslen(text)), font.get(), &origin, typographic,
                                  &measured, nullptr, nullptr);
    const float x = (static_cast<float>(bounds.width) - measured.Width) * 0.5f - 10.0f;
    drawText(graphics, text, font.get(), kVersionColor, RectF(x, kVersionTop, 0, 0));
}

// The result code, written downwards from (424, 290): it continues the failure page's last column.
void UIInstallerView::paintFailureCode(GpGraphics* graphics) {
    wchar_t text[16];
    wsprintfW(text, L"(%d)", failureCodeShown);
    ScopedFont font = makePointFont(L"宋体", 18.0f);
    if (!font) return;
    DllExports::GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAlias);
    DllExports::GdipRotateWorldTransform(graphics, 90.0f, MatrixOrderPrepend);
    drawText(graphics, text, font.get(), kFailureCodeColor, RectF(290, -424, 0, 0));
}

void UIInstallerView::handleAction(int32_t action, MGObject*) {
    switch (action) {
        case ACTION_INSTALL:
            if (installButton_->tag() == 0) {
                beginInstall();
            } else {
                PostQuitMessage(exitCode_);
            }
            break;
        case ACTION_MINIMIZE:
            ShowWindow(window()->handle(), SW_MINIMIZE);
            break;
        case ACTION_CLOSE:
            SendMessageW(window()->handle(), WM_CLOSE, 0, 0);
            break;
        case ACTION_AGREEMENT_BOX:
            toggleAgreement();
            break;
        case ACTION_AGREEMENT_LINK:
            openPage(kAgreementPage);
            break;
        case ACTION_RECOMMEND_LINK:
            openPage(kRecommendPage);
            break;
        default:
            break;
    }
}

void UIInstallerView::toggleAgreement() {
    const bool ticked = agreementBox_->tag() == 0;
    agreementBox_->setTag(ticked ? 1 : 0);
    if (agreementBox_->normalImage != nullptr) agreementBox_->normalImage->release();
    agreementBox_->normalImage = loadPng(ticked ? PICTURE_BOX_TICKED : PICTURE_BOX);
    installButton_->setDisabled(!ticked);
}

// The address goes to the Windows folder's "explorer", which hands it to the user's running shell: the default
// browser then runs with the user's own rights, not with those of this elevated process. Named by its full
// path, since an "explorer" beside the installer would otherwise run in its place. A failure to start it is
// not reported.
void UIInstallerView::openPage(const wchar_t* path) const {
    platform::startProgram(platform::windowsFolderPath(L"explorer.exe"), std::wstring(kMakerSite) + path, SW_SHOW);
}

void UIInstallerView::installWithoutClick() {
    closesAfterLastPage_ = true;
    beginInstall();
}

void UIInstallerView::beginInstall() {
    // The button stays enabled until the engine's first notification; the bar exists from the first press
    // on, and a second press in between must not start a second run of the one-time install.
    if (progressView_ != nullptr) return;
    std::wstring directory;
    parts_.engine.defaultInstallDirectory(directory);

    progressView_ = new CProgressView(window());
    const UIRect bounds = frame();
    progressView_->setFrame(progressBarFrame(bounds.width, bounds.height));
    addChild(progressView_);

    // The worker ends by itself after its last notification; nothing waits for it. Closing the window
    // during the install asks it to stop and undo first (endWhenInstallStops). An install that could not
    // start has no worker to report its end: the general failure page says so at once, and an unattended
    // wizard still closes itself.
    if (!startInstall(parts_.engine, directory, parts_.steps)) showFailure(EXIT_INSTALL_FAILURE);
}

bool UIInstallerView::endWhenInstallStops() {
    endsWithInstall_ = true;
    return parts_.engine.requestCancel();
}

void UIInstallerView::onEngineMessage(int message, int wParam, int) {
    // Every notification takes the written code away; the page is repainted without it.
    const bool codeWasShown = failureCodeShown >= 0;
    failureCodeShown = -1;
    UIInstallerView* view = installerView;
    if (view == nullptr) return;
    if (codeWasShown) view->setDirty(true);
    switch (message) {
        case WM_INSTALL_BEGIN:
            view->replaceBackground(PICTURE_INSTALLING);
            view->installButton_->setHidden(true);
            view->setDirty(true);
            view->agreementLink_->setHidden(true);
            view->agreementBox_->setHidden(true);
            break;
        case WM_INSTALL_SUCCESS:
            view->showSuccess(wParam);
            break;
        case WM_INSTALL_FAILURE:
            view->showFailure(wParam);
            break;
        case WM_INSTALL_PROGRESS:
            view->showProgress(wParam);
            break;
        default:
            break;
    }
}

// A success that the next restart completes has a page of its own, and tells deployment tools so by its code.
void UIInstallerView::showSuccess(int kind) {
    const bool restartCompletes = kind == RESTART_COMPLETES;
    if (progressView_ != nullptr) progressView_->setHidden(true);
    recommendLink_->setHidden(false);
    replaceBackground(restartCompletes ? PICTURE_SUCCESS_RESTART : PICTURE_SUCCESS);
    makeFinishButton();
    endInstall(restartCompletes ? EXIT_SUCCESS_RESTART_REQUIRED : 0);
}

// Results 1 and 2 have pages of their own; every other result is written on page 141.
void UIInstallerView::showFailure(int result) {
    int32_t picture = PICTURE_FAILURE_CODE;
    if (result == 1) {
        picture = PICTURE_FAILURE;
    } else if (result == ERR_PRECHECK) {
        picture = PICTURE_FAILURE_BUSY;
    } else {
        failureCodeShown = result;
    }
    if (progressView_ != nullptr) progressView_->setHidden(true);
    replaceBackground(picture);
    makeFinishButton();
    agreementLink_->setHidden(true);
    agreementBox_->setHidden(true);
    endInstall(result);
}

void UIInstallerView::endInstall(int exitCode) {
    // An install the user ended does not fail on its own: whatever stopped it, it was undone.
    const bool succeeded = exitCode == 0 || exitCode == EXIT_SUCCESS_RESTART_REQUIRED;
    exitCode_ = endsWithInstall_ && !succeeded ? EXIT_INSTALL_USEREXIT : exitCode;
    installEnded_ = true;
    if (endsWithInstall_) {
        PostQuitMessage(exitCode_);
    } else if (closesAfterLastPage_) {
        SetTimer(window()->handle(), kCloseAfterLastPageTimer, kCloseAfterLastPageMs, nullptr);
    }
}

// The bar repaints only when the whole percentage it shows changes, and not sooner than its spacing allows:
// a notice that comes earlier is shown when the bar's turn comes, together with any that follow it.
void UIInstallerView::showProgress(int percentage) {
    if (progressView_ == nullptr) return;
    const float fraction = std::clamp(static_cast<float>(static_cast<uint32_t>(percentage)) / 100.0f, 0.0f, 1.0f);
    if (wholePercent(progressView_->progress()) == wholePercent(fraction)) return;
    progressView_->setProgress(fraction);
    if (progressRepaintWaiting_) return;
    const double wait = lastProgressRepaintMs_ + kProgressRepaintSpacing * window()->lastRenderMs() - renderClockMs();
    if (wait < 1.0 || SetTimer(window()->handle(), kProgressRepaintTimer, static_cast<UINT>(wait), nullptr) == 0) {
        repaintProgress();
        return;
    }
    progressRepaintWaiting_ = true;
}

void UIInstallerView::repaintProgress() {
    if (progressRepaintWaiting_) KillTimer(window()->handle(), kProgressRepaintTimer);
    progressRepaintWaiting_ = false;
    if (progressView_ == nullptr || progressView_->isHidden()) return;
    progressView_->setDirty(true);
    lastProgressRepaintMs_ = renderClockMs();
}

// The agreement may have been unticked after the install started: the finish button is enabled whatever
// state the install button was left in, or the outcome page could not be left by it.
void UIInstallerView::makeFinishButton() {
    installButton_->setHidden(false);
    installButton_->setDisabled(false);
    if (installButton_->normalImage != nullptr) installButton_->normalImage->release();
    installButton_->normalImage = loadPng(PICTURE_FINISH_BUTTON);
    installButton_->setTag(1);
    const UIRect bounds = frame();
    installButton_->setFrame(finishButtonFrame(bounds.width, bounds.height));
    setDirty(true);
}

int32_t UIInstallerView::shownFailureCode() { return failureCodeShown; }
