#include "engine/InstallSequence.h"

#include "engine/ChangeJournal.h"
#include "engine/FilePlacement.h"
#include "engine/PayloadExtraction.h"
#include "platform/Files.h"
#include "platform/MessageWindow.h"

#include <functional>

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

// The journal lives in the install's temporary folder, where the next run finds it when this one never ends.
constexpr wchar_t JOURNAL_NAME[] = L"install.journal";

InstallResult reportFailure(InstallerContext& context, InstallResult result) {
    notifyInterface(context, WM_INSTALL_FAILURE, result, 0);
    return result;
}

void openInstallLog(InstallerEngine& engine) {
    const InstallerContext& context = engine.context();
    const std::wstring logPath = context.directories[DEST_ROAMING] + L"\\ins.log";
    if (!engine.log().hasDeploymentLogPath() && fitsPathBuffer(logPath)) engine.log().setLogPath(logPath);
    engine.log().writeSystemLine(context);
}

// One run's changes to the machine, from the first to the outcome: every step after the journal has begun
// either completes the install or is undone with everything before it.
class InstallRun {
public:
    InstallRun(InstallerEngine& engine, SystemSteps& steps)
        : context_(engine.context()),
          files_(*engine.files()),
          steps_(steps),
          log_(engine.log()),
          journal_(files_, *engine.facts(), engine.log()) {}

    // A run that was killed or lost its power left its journal: its changes are undone before this run's.
    void undoUnfinishedRun() {
        std::wstring path;
        if (!composePath(context_.tempDir, JOURNAL_NAME, path) || !journal_.resume(path)) return;
        removeTemporaryFiles();
        if (journal_.committed()) {
            log_.writeLogLine(L"An install that succeeded but did not finish is finished first.");
            journal_.commit();
            return;
        }
        log_.writeLogLine(L"An install that did not finish is undone first.");
        journal_.undo(steps_);
    }

    // Nothing is changed without the journal: a folder for it that cannot be made is the install directory's
    // failure (14), a journal that cannot be written the failure to create a file (4).
    InstallResult beginJournal() {
        std::wstring path;
        if (!composePath(context_.tempDir, JOURNAL_NAME, path)) return ERR_CREATE_DIRECTORY;
        if (journal_.begin(path)) return RESULT_OK;
        return platform::pathExists(context_.tempDir) ? ERR_OPEN : ERR_CREATE_DIRECTORY;
    }

    // The steps that change the machine, each after its progress mark; the first nonzero result, or the
    // user's request to end the install, stops them.
    InstallResult changeMachine() {
        const PackageTrailer& trailer = context_.trailer;
        const Step steps[] = {
            {0,
             [&] {
                 return steps_.clearOutdatedImeModules(trailer.imeVersion, trailer.textServiceVersion, journal_,
                                                       log_) == RESULT_OK
                            ? RESULT_OK
                            : ERR_PRECHECK;
             }},
            {5, [&] { return extractPayload(context_); }},
            {45,
             [&] {
                 steps_.removeInstalledEdition(journal_, log_);
                 return RESULT_OK;
             }},
            {50,
             [&] {
                 steps_.removeEarlierEditions(journal_, log_);
                 return RESULT_OK;
             }},
            {55, [&] { return placeFiles(context_, journal_); }},
            {95, [&] { return verifyFiles(context_); }},
            {97, [&] { return steps_.registerFontsAndProductKeys(context_, journal_, log_); }},
            {0,
             [&] {
                 steps_.writeProductRegistration(context_, journal_, log_);
                 steps_.writeUninstallEntry(context_, journal_, log_);
                 return RESULT_OK;
             }},
        };
        for (const Step& step : steps) {
            if (cancelRequested(context_)) return ERR_CANCELLED;
            if (step.progress != 0) reportProgress(context_, step.progress);
            if (const InstallResult result = step.run(); result != RESULT_OK) return result;
            journal_.keep();
        }
        return cancelRequested(context_) ? ERR_CANCELLED : RESULT_OK;
    }

    // Every change is kept: what was set aside goes, the journal with it.
    InstallResult complete() {
        removeTemporaryFiles();
        const bool restartCompletes = journal_.commit();
        reportProgress(context_, 98);
        steps_.notifyImeAfterInstall();
        // A run that leaves files to the restart keeps its log: it names each of them.
        if (!restartCompletes) log_.deleteLogFile();
        reportProgress(context_, 100);
        notifyInterface(context_, WM_INSTALL_SUCCESS, restartCompletes ? RESTART_COMPLETES : INSTALL_COMPLETE, 0);
        return RESULT_OK;
    }

    // The install does not complete: every change is undone, the last first, then the outcome is reported.
    InstallResult fail(InstallResult result) {
        if (result == ERR_CANCELLED) {
            log_.writeLogLine(L"The install was ended by the user; its changes are undone.");
        } else {
            log_.writeLogLine(L"The install stopped with result %d; its changes are undone.", {result});
        }
        removeTemporaryFiles();
        journal_.undo(steps_);
        return reportFailure(context_, result);
    }

private:
    // What an install leaves in its temporary folder besides the journal: the unpacked package and the copies
    // of its entries, also those a run that was cut short left.
    void removeTemporaryFiles() {
        const auto entries = files_.entries(context_.tempDir);
        if (!entries) return;
        for (const platform::DirectoryEntry& entry : *entries) {
            if (!entry.isDirectory && entry.name != JOURNAL_NAME) files_.deleteFile(context_.tempDir + L"\\" + entry.name);
        }
    }

    struct Step {
        std::uint32_t progress;
        std::function<InstallResult()> run;
    };

    InstallerContext& context_;
    platform::DirectoryWalk& files_;
    SystemSteps& steps_;
    InstallLog& log_;
    ChangeJournal journal_;
};

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
    // Until the journal begins, a failure reports its code and leaves the machine as it was: a package that
    // cannot be found or read, an unsupported edition, an input-method instance that does not answer.
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
    InstallRun run(engine, steps);
    run.undoUnfinishedRun();

    reportProgress(context, 1);
    if (!steps.notifyImeBeforeInstall()) return reportFailure(context, ERR_PRECHECK);
    reportProgress(context, 2);
    if (!engine.beginChanges()) return reportFailure(context, ERR_CANCELLED);
    if (const InstallResult begun = run.beginJournal(); begun != RESULT_OK) return reportFailure(context, begun);
    const InstallResult changed = run.changeMachine();
    return changed == RESULT_OK ? run.complete() : run.fail(changed);
}
