// The install run as the interface and the system layer see it: every engine message and every system step
// in one timeline, for a whole install and for each way it can stop.
#include "engine/InstallSequence.h"

#include "platform/GivenSystemFacts.h"
#include "tests/unit/engine/EngineFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace enginetest;
namespace fs = std::filesystem;

// Engine messages and system steps in the order they happened: "BEGIN", "P5", "FAIL 16", "SUCCESS", and the
// step names.
std::vector<std::string> timeline;
// The engine of the run under test, and the progress at which its user closes the wizard (0: never).
InstallerEngine* engineUnderTest = nullptr;
int cancelAtProgress = 0;

void recordMessage(int message, int wParam, int) {
    if (message == WM_INSTALL_PROGRESS && wParam == cancelAtProgress) engineUnderTest->requestCancel();
    switch (message) {
        case WM_INSTALL_BEGIN: timeline.push_back("BEGIN"); break;
        case WM_INSTALL_SUCCESS: timeline.push_back(wParam == RESTART_COMPLETES ? "SUCCESS, RESTART" : "SUCCESS"); break;
        case WM_INSTALL_FAILURE: timeline.push_back("FAIL " + std::to_string(wParam)); break;
        case WM_INSTALL_PROGRESS: timeline.push_back("P" + std::to_string(wParam)); break;
        default: timeline.push_back("message " + std::to_string(message)); break;
    }
}

class RecordingSteps final : public SystemSteps {
public:
    bool beforeInstallAnswered = true;
    InstallResult clearResult = RESULT_OK;
    // The step during which the user closes the wizard (none when empty).
    std::string cancelDuring;
    InstallerEngine* engine = nullptr;
    InstallResult registerResult = RESULT_OK;
    PackageVersion clearedImeVersion{};
    PackageVersion clearedTextServiceVersion{};

    void stopRunningServices() override { timeline.push_back("stopRunningServices"); }
    bool notifyImeBeforeInstall() override {
        timeline.push_back("notifyImeBeforeInstall");
        return beforeInstallAnswered;
    }
    // Each change step writes one record of its own, which the undo hands back.
    InstallResult clearOutdatedImeModules(const PackageVersion& ime, const PackageVersion& textService,
                                          ChangeJournal& journal, InstallLog&) override {
        step("clearOutdatedImeModules", journal);
        clearedImeVersion = ime;
        clearedTextServiceVersion = textService;
        return clearResult;
    }
    void removeInstalledEdition(ChangeJournal& journal, InstallLog&) override {
        step("removeInstalledEdition", journal);
    }
    void removeEarlierEditions(ChangeJournal& journal, InstallLog&) override { step("removeEarlierEditions", journal); }
    InstallResult registerFontsAndProductKeys(const InstallerContext&, ChangeJournal& journal, InstallLog& log) override {
        step("registerFontsAndProductKeys", journal);
        if (registerResult != RESULT_OK) {
            log.writeLogLine(L"wraning:reg create failed!err code:%d.key:%d.subkey:%s",
                             {5, -2147483646, L"SOFTWARE\\Zelnsoft"});
        }
        return registerResult;
    }
    void writeProductRegistration(const InstallerContext&, ChangeJournal& journal, InstallLog&) override {
        step("writeProductRegistration", journal);
    }
    void writeUninstallEntry(const InstallerContext&, ChangeJournal& journal, InstallLog&) override {
        step("writeUninstallEntry", journal);
    }
    void notifyImeAfterInstall() override { timeline.push_back("notifyImeAfterInstall"); }
    bool undoChange(const JournalRecord& record, InstallLog&) override {
        timeline.push_back("undo " + std::string(record.kind.begin(), record.kind.end()));
        return true;
    }

private:
    void step(const char* name, ChangeJournal& journal) {
        timeline.push_back(name);
        journal.record({std::wstring(name, name + std::strlen(name)), {}});
        if (cancelDuring == name) engine->requestCancel();
    }
};

// What the version query and the native architecture answer; 64-bit Windows 7 unless a test says otherwise.
struct Edition {
    platform::VersionRecord version{6, 1, platform::PRODUCT_WORKSTATION};
    std::uint16_t architecture = platform::PROCESSOR_ARCH_AMD64;
    bool versionKnown = true;
};

// A Windows whose folders all lie in a scratch folder, running the installer at "setup.exe".
class InstallRun {
public:
    explicit InstallRun(const Installer& installer, EngineCallback callback = recordMessage,
                        const Edition& edition = {}) {
        timeline.clear();
        writeFile(scratch.path() / "setup.exe", installer.bytes);
        facts.version = edition.version;
        facts.versionKnown = edition.versionKnown;
        facts.nativeArchitecture = edition.architecture;
        facts.windowsDir = scratch.engine(L"Windows");
        facts.systemWindowsDir = scratch.engine(L"Windows");
        facts.roaming = scratch.engine(L"Users\\u\\AppData\\Roaming");
        facts.module = scratch.engine(L"setup.exe");
        fs::create_directories(scratch.path() / "Users" / "u" / "AppData" / "Roaming");
        initResult = engine.initialize(facts, files, callback);
        engineUnderTest = &engine;
        steps.engine = &engine;
    }

    InstallResult install() {
        std::wstring directory;
        engine.defaultInstallDirectory(directory);
        const auto worker = startInstall(engine, directory, steps);
        EXPECT_NE(nullptr, worker);
        if (worker) worker->wait();
        return lastOutcome();
    }

    InstallResult lastOutcome() const {
        if (!timeline.empty() && timeline.back().rfind("FAIL ", 0) == 0) return std::stoi(timeline.back().substr(5));
        return RESULT_OK;
    }
    fs::path installDir() const { return scratch.path() / "Program Files (x86)" / "Zelnsoft"; }
    fs::path executable() const { return scratch.path() / "setup.exe"; }
    fs::path logFile() const { return scratch.path() / "Users" / "u" / "AppData" / "Roaming" / "ins.log"; }
    std::string log() const {
        const Bytes bytes = readFile(logFile());
        return std::string(bytes.begin(), bytes.end());
    }

    ScratchDir scratch;
    platform::GivenSystemFacts facts;
    FilesInUse files;
    InstallerEngine engine;
    RecordingSteps steps;
    InstallResult initResult = RESULT_OK;
};

// The shipped package's shape: 74 entries whose data add up to 22,313,714 bytes.
Installer shippedSizePackage() {
    std::vector<pkgtool::PackageFile> files;
    const std::size_t total = 22313714;
    std::size_t placed = 0;
    for (int i = 0; i < 74; ++i) {
        const std::size_t size = i == 73 ? total - placed : (i % 7 == 0 ? 1200000 : 120000);
        placed += size;
        const DestinationKind kind = i < 39 ? 0 : i < 42 ? 1 : i < 45 ? 2 : i < 73 ? 3 : 6;
        files.push_back(file(L"Zeln\\file" + std::to_wstring(i) + L".bin", kind, noise(size, i)));
    }
    return makeInstaller(files);
}

Installer smallPackage() {
    return makeInstaller({file(L"ZelnIME\\readme.txt", 0, noise(5000, 1), true),
                          file(L"ZelnIme.ime", 1, noise(3000, 2), true), file(L"ZelnIme.ime", 2, noise(3000, 3), true),
                          file(L"ZelnHuhe.ttf", 3, noise(4000, 4), true),
                          file(L"Zelnsoft\\user.dat", 6, noise(100, 5), true)});
}

std::vector<std::string> progressNames(const std::vector<int>& values) {
    std::vector<std::string> names;
    for (int value : values) names.push_back("P" + std::to_string(value));
    return names;
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(InstallSequence, ShippedSizePackageRunsEveryStepInOrderWithItsProgress) {
    InstallRun run(shippedSizePackage());
    ASSERT_EQ(RESULT_OK, run.initResult);
    EXPECT_EQ(RESULT_OK, run.install());

    // Placement skips values where one file is larger than a percentage point of the data area.
    std::vector<std::string> placement;
    const auto firstPlacement = std::find(timeline.begin(), timeline.end(), "P55") + 1;
    const auto lastPlacement = std::find(timeline.begin(), timeline.end(), "P95");
    ASSERT_LT(firstPlacement, lastPlacement);
    placement.assign(firstPlacement, lastPlacement);
    int previous = 55;
    for (const std::string& value : placement) {
        const int percent = std::stoi(value.substr(1));
        EXPECT_GT(percent, previous);
        previous = percent;
    }

    const std::vector<std::string> expected = concat(
        {{"BEGIN", "stopRunningServices", "P1", "notifyImeBeforeInstall", "P2", "clearOutdatedImeModules", "P5"},
         progressNames(range(6, 45)),
         {"removeInstalledEdition", "P50", "removeEarlierEditions", "P55"},
         placement,
         {"P95", "P97", "registerFontsAndProductKeys", "writeProductRegistration", "writeUninstallEntry", "P98",
          "notifyImeAfterInstall", "P100", "SUCCESS"}});
    EXPECT_EQ(expected, timeline);
    EXPECT_EQ((PackageVersion{7, 27, 1, 0}), run.steps.clearedImeVersion);
    EXPECT_EQ((PackageVersion{1, 3, 10, 0}), run.steps.clearedTextServiceVersion);
    EXPECT_FALSE(fs::exists(run.logFile())) << "a successful install deletes its log";
    EXPECT_TRUE(fs::exists(run.installDir() / "Zeln" / "file0.bin"));
    EXPECT_TRUE(fs::exists(run.scratch.path() / "Windows" / "Sysnative" / "Zeln" / "file40.bin"));
    EXPECT_FALSE(fs::exists(run.installDir() / "tmp"));
}

// Every file below a folder with its bytes, by its path relative to it; folders end in "/".
std::map<std::string, Bytes> contentsOf(const fs::path& root) {
    std::map<std::string, Bytes> contents;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory()) {
            contents[name + "/"] = {};
        } else {
            contents[name] = readFile(entry.path());
        }
    }
    return contents;
}

// Every way the run can stop after it began, the user closing the wizard among them: the failure message
// carries the code, and the log stays with the system line for diagnosis. Until the journal begins nothing
// is undone because nothing was changed; from then on every step that ran is undone, the last first, and the
// files are exactly as the run found them.
TEST(InstallSequence, EachFailureStopsAtItsStepAndUndoesEveryStepBeforeIt) {
    struct Case {
        const char* what;
        void (*prepare)(InstallRun&);
        InstallResult code;
        const char* lastProgress;
        const char* lastStep;
        // The steps undone, in the order of their undo.
        std::vector<std::string> undone;
        // A full disk: file writes beyond this length fail while the run lasts (0: no limit).
        std::uint64_t writeLimit = 0;
    };
    const std::vector<std::string> upToRemovals = {"undo removeEarlierEditions", "undo removeInstalledEdition",
                                                   "undo clearOutdatedImeModules"};
    const Case cases[] = {
        {"an input-method window does not answer", [](InstallRun& run) { run.steps.beforeInstallAnswered = false; },
         ERR_PRECHECK, "P1", "notifyImeBeforeInstall", {}},
        {"the temporary folder cannot be made",
         [](InstallRun& run) {
             fs::create_directories(run.installDir().parent_path());
             writeFile(run.installDir(), Bytes{1});
         },
         ERR_CREATE_DIRECTORY, "P2", "notifyImeBeforeInstall", {}},
        {"an outdated module is held open", [](InstallRun& run) { run.steps.clearResult = 1; }, ERR_PRECHECK, "P2",
         "clearOutdatedImeModules", {"undo clearOutdatedImeModules"}},
        {"the executable ends inside its package",
         [](InstallRun& run) { fs::resize_file(run.executable(), run.engine.context().packageOffset + 100); },
         ERR_READ, "P5", "clearOutdatedImeModules", {"undo clearOutdatedImeModules"}},
        {"the disk fills up during extraction", [](InstallRun&) {}, ERR_WRITE, "P25", "clearOutdatedImeModules",
         {"undo clearOutdatedImeModules"}, 6000},
        {"the user closes the wizard while earlier editions are removed",
         [](InstallRun& run) { run.steps.cancelDuring = "removeEarlierEditions"; }, ERR_CANCELLED, "P50",
         "removeEarlierEditions", upToRemovals},
        {"a folder stands where a file goes",
         [](InstallRun& run) { fs::create_directories(run.installDir() / "ZelnIME" / "readme.txt"); }, ERR_WRITE,
         "P55", "removeEarlierEditions", upToRemovals},
        {"the user closes the wizard during placement", [](InstallRun&) { cancelAtProgress = 68; }, ERR_CANCELLED,
         "P68", "removeEarlierEditions", upToRemovals},
        {"a registry key cannot be made", [](InstallRun& run) { run.steps.registerResult = ERR_REGISTRY; },
         ERR_REGISTRY, "P97", "registerFontsAndProductKeys",
         {"undo registerFontsAndProductKeys", "undo removeEarlierEditions", "undo removeInstalledEdition",
          "undo clearOutdatedImeModules"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallRun run(smallPackage());
        c.prepare(run);
        const std::map<std::string, Bytes> before = contentsOf(run.scratch.path());
        {
            std::optional<WriteLimit> fullDisk;
            if (c.writeLimit != 0) fullDisk.emplace(c.writeLimit);
            EXPECT_EQ(c.code, run.install());
        }
        cancelAtProgress = 0;
        ASSERT_GE(timeline.size(), 4u);
        EXPECT_EQ("FAIL " + std::to_string(c.code), timeline.back());
        const std::vector<std::string> undone(timeline.end() - 1 - static_cast<long>(c.undone.size()),
                                              timeline.end() - 1);
        EXPECT_EQ(c.undone, undone);
        std::string lastProgress, lastStep;
        for (auto entry = timeline.begin(); entry != timeline.end() - 1 - static_cast<long>(c.undone.size()); ++entry) {
            if ((*entry)[0] == 'P') lastProgress = *entry;
            else if (*entry != "BEGIN") lastStep = *entry;
        }
        EXPECT_EQ(c.lastProgress, lastProgress);
        EXPECT_EQ(c.lastStep, lastStep);
        ASSERT_TRUE(fs::exists(run.logFile()));
        EXPECT_EQ("\xEF\xBB\xBFOS Type : Win7 x64 bit.\r\n", run.log().substr(0, 28));
        std::map<std::string, Bytes> after = contentsOf(run.scratch.path());
        after.erase("Users/u/AppData/Roaming/ins.log");
        EXPECT_EQ(before, after) << "every file as the run found it";
    }
}

TEST(InstallSequence, TwoFailedRunsLeaveBothSystemLinesInTheLog) {
    InstallRun first(smallPackage());
    first.steps.clearResult = 1;
    first.install();
    InstallRun second(smallPackage());
    fs::create_directories(second.logFile().parent_path());
    fs::copy_file(first.logFile(), second.logFile());
    second.steps.registerResult = ERR_REGISTRY;
    second.install();
    const std::string log = second.log();
    const std::string lastLine = log.substr(log.rfind("\r\n", log.size() - 3) + 2);
    EXPECT_EQ("\xEF\xBB\xBFOS Type : Win7 x64 bit.\r\n"
              "The install stopped with result 2; its changes are undone.\r\n"
              "Undone: 1 changes, every one restored.\r\n"
              "OS Type : Win7 x64 bit.\r\n"
              "wraning:reg create failed!err code:5.key:-2147483646.subkey:SOFTWARE\\Zelnsoft\r\n"
              "The install stopped with result 18; its changes are undone.\r\n" +
                  lastLine,
              log);
    EXPECT_EQ(0u, lastLine.rfind("Undone: ", 0)) << lastLine;
    EXPECT_NE(std::string::npos, lastLine.find(" changes, every one restored.\r\n")) << lastLine;
}

// A deployment's own log file takes every line instead of "ins.log", in the same bytes, and stays after a
// success as after a failure.
TEST(InstallSequence, DeploymentLogTakesEveryLineAndStaysAfterSuccess) {
    for (const bool succeeds : {true, false}) {
        SCOPED_TRACE(succeeds ? "success" : "failure");
        InstallRun run(smallPackage());
        run.steps.registerResult = succeeds ? RESULT_OK : ERR_REGISTRY;
        const fs::path deploymentLog = run.scratch.path() / "deploy.log";
        ASSERT_TRUE(run.engine.log().startDeploymentLog(run.scratch.engine(L"deploy.log")));
        EXPECT_EQ(succeeds ? RESULT_OK : ERR_REGISTRY, run.install());
        const Bytes bytes = readFile(deploymentLog);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(0u, text.rfind("\xEF\xBB\xBFOS Type : Win7 x64 bit.\r\n", 0)) << text;
        EXPECT_EQ(!succeeds, text.find("wraning:reg create failed!") != std::string::npos);
        EXPECT_FALSE(fs::exists(run.logFile())) << "no ins.log beside it";
    }
}

// Every file below a folder, by its path relative to it.
std::set<std::string> treeOf(const fs::path& root) {
    std::set<std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        tree.insert(fs::relative(entry.path(), root).generic_string());
    }
    return tree;
}

// An edition without system folders for the modules is refused before anything is changed, with the code its
// run would meet at its first system-folder entry (14); the package is still found and its version shown, and
// the log says why. 32-bit Windows XP is supported and installs.
TEST(InstallSequence, UnsupportedEditionIsRefusedWith14BeforeAnythingChanges) {
    constexpr std::uint8_t kServer = 3;
    struct Case {
        Edition edition;
        const char* name;
    };
    const Case cases[] = {
        {{{6, 3, kServer}, platform::PROCESSOR_ARCH_AMD64}, "Server_2012_R2 x64"},
        {{{10, 0, kServer}, platform::PROCESSOR_ARCH_INTEL}, "Server_2016_TP x86"},
        {{{5, 2, platform::PRODUCT_WORKSTATION}, platform::PROCESSOR_ARCH_AMD64}, "WinXP_Por_x64 x64"},
        {{{5, 1, platform::PRODUCT_WORKSTATION}, platform::PROCESSOR_ARCH_AMD64}, "WinXP_PE_x64 x64"},
        {{{}, platform::PROCESSOR_ARCH_INTEL, false}, "Win2000 x86"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallRun run(smallPackage(), recordMessage, c.edition);
        EXPECT_EQ(RESULT_OK, run.initResult);
        PackageVersion version{};
        run.engine.productVersion(version);
        EXPECT_EQ((PackageVersion{7, 27, 1, 0}), version);
        const std::set<std::string> before = treeOf(run.scratch.path());

        EXPECT_EQ(ERR_CREATE_DIRECTORY, run.install());
        EXPECT_EQ((std::vector<std::string>{"FAIL 14"}), timeline) << "no system step, no progress";
        std::set<std::string> after = treeOf(run.scratch.path());
        EXPECT_EQ(1u, after.erase("Users/u/AppData/Roaming/ins.log"));
        EXPECT_EQ(before, after) << "nothing extracted, placed or removed";
        EXPECT_EQ("\xEF\xBB\xBFOS Type : " + std::string(c.name) + " bit.\r\nEdition not supported: " + c.name +
                      " bit; nothing was changed.\r\n",
                  run.log());
    }

    const Edition xp32{{5, 1, platform::PRODUCT_WORKSTATION}, platform::PROCESSOR_ARCH_INTEL};
    InstallRun xp(smallPackage(), recordMessage, xp32);
    EXPECT_EQ(RESULT_OK, xp.install());
    EXPECT_EQ("SUCCESS", timeline.back());
    EXPECT_TRUE(fs::exists(xp.scratch.path() / "Program Files" / "Zelnsoft" / "ZelnIME" / "readme.txt"));
}

// A damaged installer must not uninstall the working edition: the only message is the failure, and no
// system step runs.
TEST(InstallSequence, PackageNotFoundReportsItsCodeAndTouchesNothing) {
    Installer damaged = smallPackage();
    damaged.bytes.resize(damaged.bytes.size() - 60);
    InstallRun run(damaged);
    EXPECT_EQ(ERR_NO_TRAILER, run.initResult);
    EXPECT_EQ(ERR_NO_TRAILER, run.install());
    EXPECT_EQ((std::vector<std::string>{"FAIL 6"}), timeline);
    EXPECT_FALSE(fs::exists(run.logFile()));
}

TEST(InstallSequence, WithoutCallbackNothingIsSentAndTheInstallStillRuns) {
    InstallRun run(smallPackage(), nullptr);
    std::wstring directory;
    run.engine.defaultInstallDirectory(directory);
    const auto worker = startInstall(run.engine, directory, run.steps);
    ASSERT_NE(nullptr, worker);
    worker->wait();
    EXPECT_EQ((std::vector<std::string>{"stopRunningServices", "notifyImeBeforeInstall", "clearOutdatedImeModules",
                                        "removeInstalledEdition", "removeEarlierEditions",
                                        "registerFontsAndProductKeys", "writeProductRegistration",
                                        "writeUninstallEntry", "notifyImeAfterInstall"}),
              timeline);
    EXPECT_TRUE(fs::exists(run.installDir() / "ZelnIME" / "readme.txt"));
    EXPECT_EQ(100u, run.engine.context().lastProgress);
}

}  // namespace
