#include "engine/InstallSequence.h"

#include "engine/FilePlacement.h"
#include "engine/PayloadExtraction.h"
#include "platform/MessageWindow.h"

namespace {

// Hands the worker's messages to the interface thread through the message window, which calls the
// interface's callback there while the worker waits.
class MessageWindowListener final : public EngineListener {
public:
    // Nothing to do when the window exists already or nobody listens.
    bool createMessageWindow(EngineCallback callback) {
        if (window_.exists() || !callback) return true;
        callback_ = callback;
        return window_.create(ENGINE_WINDOW_NAME, WM_INSTALL_BEGIN, WM_INSTALL_PROGRESS, &deliver, this);
    }
    void engineMessage(int message, int wParam, int lParam) override { window_.send(message, wParam, lParam); }

private:
    static void deliver(void* owner, int message, int wParam, int lParam) {
        static_cast<MessageWindowListener*>(owner)->callback_(message, wParam, lParam);
    }

    platform::MessageWindow window_;
    EngineCallback callback_ = nullptr;
};

// One install per process: the window lives until the process ends.
MessageWindowListener messageWindowListener;

// The installation directory could not be taken (its path or its "tmp" folder does not fit); reported by the
// worker like a package that was not found.
InstallResult installDirectoryResult = RESULT_OK;

void notifyInterface(InstallerContext& context, int message, int wParam, int lParam) {
    if (context.listener) context.listener->engineMessage(message, wParam, lParam);
}

// An unsupported edition is refused with the code its run would meet at the first entry for a system folder
// it does not have: a folder that cannot be made (14), written on the interface's general failure page.
constexpr InstallResult UNSUPPORTED_EDITION_RESULT = ERR_CREATE_DIRECTORY;

// The run has not touched the installed edition: report the code and leave that edition working.
InstallResult reportFailure(InstallerContext& context, InstallResult result) {
    notifyInterface(context, WM_INSTALL_FAILURE, result, 0);
    return result;
}

// The run has begun replacing the installed edition: take out what is left of it, so that no half-installed
// edition stays registered, then report the code.
InstallResult failInstall(InstallerEngine& engine, SystemSteps& steps, InstallResult result) {
    steps.removeInstalledEdition(engine.log());
    return reportFailure(engine.context(), result);
}

void openInstallLog(InstallerEngine& engine) {
    const InstallerContext& context = engine.context();
    const std::wstring logPath = context.directories[DEST_ROAMING] + L"\\ins.log";
    if (!engine.log().hasDeploymentLogPath() && fitsPathBuffer(logPath)) engine.log().setLogPath(logPath);
    engine.log().writeSystemLine(context);
}

}  // namespace

std::unique_ptr<platform::Thread> startInstall(InstallerEngine& engine, const std::wstring& installDirectory,
                                               SystemSteps& steps) {
    InstallerContext& context = engine.context();
    installDirectoryResult = setInstallDirectory(context, installDirectory);
    if (engine.callback()) {
        // Without its window nobody would hear the install: an unattended run would wait for its outcome for
        // ever. The install is refused before anything changes.
        if (!messageWindowListener.createMessageWindow(engine.callback())) return nullptr;
        context.listener = &messageWindowListener;
    }
    return platform::startThread([&engine, &steps] { runInstall(engine, steps); });
}

InstallResult runInstall(InstallerEngine& engine, SystemSteps& steps) {
    InstallerContext& context = engine.context();
    // Until the installed edition is taken out at 45, a failure reports its code and leaves the edition that
    // is installed and working as it is: a package that cannot be found or read, an unsupported edition, an
    // input-method instance that does not answer, a module held open that cannot be moved aside (every
    // module is back in its place then), or an extraction that cannot finish installs nothing new.
    const InstallResult startResult = context.initResult != RESULT_OK ? context.initResult : installDirectoryResult;
    if (startResult != RESULT_OK) return reportFailure(context, startResult);

    openInstallLog(engine);
    if (!isSupportedEdition(context)) {
        engine.log().writeLogLine(L"Edition not supported: %s %s bit; nothing was changed.",
                                  {osTypeName(context.osType), archCodeName(context.archCode)});
        return reportFailure(context, UNSUPPORTED_EDITION_RESULT);
    }
    notifyInterface(context, WM_INSTALL_BEGIN, 0, 0);
    steps.stopRunningServices();

    reportProgress(context, 1);
    if (!steps.notifyImeBeforeInstall()) return reportFailure(context, ERR_PRECHECK);
    reportProgress(context, 2);
    if (steps.clearOutdatedImeModules(context.trailer.imeVersion, context.trailer.textServiceVersion,
                                      engine.log()) != RESULT_OK) {
        return reportFailure(context, ERR_PRECHECK);
    }
    reportProgress(context, 5);
    if (const InstallResult result = extractPayload(context); result != RESULT_OK) {
        return reportFailure(context, result);
    }

    reportProgress(context, 45);
    steps.removeInstalledEdition(engine.log());
    reportProgress(context, 50);
    steps.removeEarlierEditions(engine.log());

    reportProgress(context, 55);
    if (const InstallResult result = placeFiles(context); result != RESULT_OK) {
        return failInstall(engine, steps, result);
    }
    reportProgress(context, 95);
    if (const InstallResult result = verifyFiles(context); result != RESULT_OK) {
        return failInstall(engine, steps, result);
    }

    reportProgress(context, 97);
    if (const InstallResult result = steps.registerFontsAndProductKeys(context, engine.log()); result != RESULT_OK) {
        return failInstall(engine, steps, result);
    }
    steps.writeProductRegistration(context, engine.log());
    steps.writeUninstallEntry(context, engine.log());

    reportProgress(context, 98);
    steps.notifyImeAfterInstall();
    engine.log().deleteLogFile();

    reportProgress(context, 100);
    notifyInterface(context, WM_INSTALL_SUCCESS, 0, 0);
    return RESULT_OK;
}
