#pragma once
// The wizard: one root view that shows one page at a time (welcome, installing, success or failure) as a
// full-window picture with a few image buttons and invisible link areas over it, and the interface's side
// of the engine. Building it initializes the engine; the install button starts the install; the engine's
// notifications switch the pages.
#include <cstdint>
#include <iterator>
#include <vector>

#include "app/res/resources.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIView.h"

class CProgressView;
class InstallerEngine;
class SystemSteps;
class UIImage;
namespace platform {
class DirectoryWalk;
class SystemFacts;
}

// What an install needs besides the window: the engine, the system facts and the files it is initialized
// with and the system steps its sequence calls. All of them outlive the window.
struct InstallerParts {
    InstallerEngine& engine;
    const platform::SystemFacts& facts;
    platform::DirectoryWalk& files;
    SystemSteps& steps;
};

// Action codes of the wizard's controls.
enum InstallerAction : int32_t {
    ACTION_INSTALL = 0,
    ACTION_MINIMIZE = 1,
    ACTION_CLOSE = 2,
    ACTION_AGREEMENT_BOX = 3,
    ACTION_AGREEMENT_LINK = 4,
    ACTION_RECOMMEND_LINK = 5,
};


// The timer of the wizard's window that closes it a few seconds after the last page of an unattended run.
constexpr uintptr_t kCloseAfterLastPageTimer = 1;
constexpr unsigned kCloseAfterLastPageMs = 3000;
// The pictures an install shows whatever its outcome: its own page, the success page and the finish button.
constexpr int32_t kPicturesOfTheInstall[] = {PICTURE_INSTALLING, PICTURE_SUCCESS, PICTURE_FINISH_BUTTON};
// The timer that prepares the install's pictures while the welcome page waits for the user, one per tick.
constexpr uintptr_t kPreparePicturesTimer = 3;
// The timer that repaints the bar when its turn comes (see kProgressRepaintSpacing).
constexpr uintptr_t kProgressRepaintTimer = 2;
// After a repaint of the bar, the next waits until this many times the window's last render has passed. The
// worker waits on every progress notice while the window renders, and where a push costs the whole window
// whatever part of it changed (Wine's does), a render after each notice would hold up the install at the
// larger scales; so spaced, rendering takes at most an eighth of the interface thread's time at any scale.
constexpr double kProgressRepaintSpacing = 8.0;

class UIInstallerView : public UIView {
public:
    UIInstallerView(UIWindow* window, const InstallerParts& parts);
    ~UIInstallerView() override;

    // Starts the install as the install button would, and closes the window a few seconds after the success
    // or failure page shows (the wizard run with "/passive").
    void installWithoutClick();
    // What the program exits with when it ends now: 1602 until the install has ended, then 0 for success,
    // 3010 for a success that the next restart completes, or the failure's result code; 1603 when the install
    // could not be started.
    int exitCode() const { return exitCode_; }
    // Repaints the bar with the latest progress now; the bar's timer calls it when the bar's turn comes.
    void repaintProgress();
    // Decodes the next of the pictures the install shows (its page, the success page, the finish button) and
    // fits it to the display's scale, so that the install's page changes only copy kept pixels; the timer
    // calls it while the welcome page waits. False when all are prepared.
    bool prepareNextPicture();
    bool picturesPrepared() const { return prepared_.size() == std::size(kPicturesOfTheInstall); }
    // True while a progress notice waits for the bar's turn to be repainted.
    bool progressRepaintWaiting() const { return progressRepaintWaiting_; }
    // True from the install's start until its outcome arrives.
    bool installRunning() const { return progressView_ != nullptr && !installEnded_; }
    // The user closes the wizard during the install: the install stops at its next file or step and undoes
    // what it changed, and the program ends with 1602 when it has (or with the install's success, when it had
    // done its last step). False when the install has changed nothing and never will: the program may end at
    // once.
    bool endWhenInstallStops();

    void handleAction(int32_t action, MGObject* sender) override;
    // The page's picture under the version text or the failure code.
    const UIImage* backgroundImage() const override { return backgroundImage_; }
    void paint(Gdiplus::GpGraphics* graphics, UIRect bounds) override;
    void setFrame(UIRect frame) override;

    // The engine's callback: called on the interface thread while the worker waits.
    static void onEngineMessage(int message, int wParam, int lParam);

    UIButton* installButton() const { return installButton_; }
    UIButton* agreementBox() const { return agreementBox_; }
    UIButton* agreementLink() const { return agreementLink_; }
    UIButton* recommendLink() const { return recommendLink_; }
    // None until the install starts.
    CProgressView* progressView() const { return progressView_; }
    // The result code written on the failure page, -1 when none is shown.
    static int32_t shownFailureCode();

private:
    UIButton* addButton(int32_t action);
    UIImage* loadPng(int32_t id) const;
    void replaceBackground(int32_t picture);
    void paintVersion(Gdiplus::GpGraphics* graphics, UIRect bounds) const;
    static void paintFailureCode(Gdiplus::GpGraphics* graphics);
    void toggleAgreement();
    // Opens a page of the maker's web site, given by its path.
    void openPage(const wchar_t* path) const;
    void beginInstall();
    void showProgress(int percentage);
    void showSuccess(int kind);
    void showFailure(int result);
    // The last page shows: the outcome is known, and an unattended wizard closes itself a little later.
    void endInstall(int exitCode);
    void makeFinishButton();

    InstallerParts parts_;
    UIButton* installButton_ = nullptr;
    UIButton* minimizeButton_ = nullptr;
    UIButton* agreementBox_ = nullptr;
    UIButton* agreementLink_ = nullptr;
    UIButton* recommendLink_ = nullptr;
    UIButton* closeButton_ = nullptr;
    CProgressView* progressView_ = nullptr;
    UIImage* backgroundImage_ = nullptr;
    int exitCode_;
    bool closesAfterLastPage_ = false;
    bool installEnded_ = false;
    bool endsWithInstall_ = false;
    bool progressRepaintWaiting_ = false;
    double lastProgressRepaintMs_ = 0;
    // The pictures prepared so far, in the order of kPicturesOfTheInstall; each holds a reference.
    std::vector<UIImage*> prepared_;
};
