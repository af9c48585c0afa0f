// Upgrades of an installed earlier edition that do not complete, on a 64-bit Windows 10 whose folders lie in a
// scratch folder and whose registry, layouts, shell and windows are fakes: the real install sequence and the
// real system steps, stopped at every point where they change the machine. Whether the user closes the
// wizard, a change fails, or the process ends dead and the next run finds its journal, afterwards every file
// (bytes and all) and every registry key and value is exactly as the install found them.
#include "engine/InstallSequence.h"
#include "system/InstallSystemSteps.h"

#include "platform/GivenSystemFacts.h"
#include "platform/fake/FakeBroadcast.h"
#include "platform/fake/FakeCalendar.h"
#include "platform/fake/FakeEudc.h"
#include "platform/fake/FakeKeyboardLayouts.h"
#include "platform/fake/FakeProcesses.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/fake/FakeShell.h"
#include "platform/fake/FakeThreads.h"
#include "platform/fake/FakeVersionInfo.h"
#include "platform/fake/FakeWindowMessages.h"
#include "tests/unit/engine/EngineFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace enginetest;
namespace fs = std::filesystem;

// The process ends where it stands: nothing after this point of the run happens.
struct ProcessEnded {};

// What the user has: every file below the scratch folder with its bytes (folders end in "/"), then every
// registry key and value. The installer and the install log are not the user's.
struct MachineState {
    std::map<std::string, Bytes> files;
    std::vector<std::wstring> registry;
    bool operator==(const MachineState& other) const { return files == other.files && registry == other.registry; }
    bool operator!=(const MachineState& other) const { return !(*this == other); }
};

std::ostream& operator<<(std::ostream& out, const MachineState& state) {
    for (const auto& [name, bytes] : state.files) out << "\n  " << name << " (" << bytes.size() << " bytes)";
    for (const std::wstring& line : state.registry) out << "\n  " << platform::utf8(line);
    return out;
}

pkgtool::PackageFile edition(const std::wstring& name, DestinationKind kind, std::uint32_t seed, std::uint32_t size) {
    return file(name, kind, noise(size, seed), true);
}

// An edition of the input method: its modules of both kinds, its application files, a font and the user's
// data file; each edition's bytes its own.
Installer editionPackage(std::uint32_t seed, bool withOldFile) {
    std::vector<pkgtool::PackageFile> files = {
        edition(L"ZelnIME\\readme.txt", DEST_INSTALL, seed, 3000),
        edition(L"ZelnIME\\dict\\main.dic", DEST_INSTALL, seed + 1, 9000),
        edition(L"ZelnIme.ime", DEST_SYSNATIVE, seed + 2, 2000),
        edition(L"ZelnImeTSF.ime", DEST_SYSNATIVE, seed + 3, 2000),
        edition(L"ZelnIme.ime", DEST_SYSTEM32, seed + 4, 1500),
        edition(L"ZelnImeTSF.ime", DEST_SYSTEM32, seed + 5, 1500),
        edition(L"ZelnHuhe.ttf", DEST_FONTS, seed + 6, 4000),
        edition(L"Zelnsoft\\userphrase.dat", DEST_ROAMING, seed + 7, 200),
    };
    if (withOldFile) files.push_back(edition(L"ZelnIME\\old.dat", DEST_INSTALL, seed + 8, 100));
    return makeInstaller(files);
}

// Hands the engine's messages to the test: the outcome, and the user closing the wizard at a percentage.
class Outcome final : public EngineListener {
public:
    void engineMessage(int message, int wParam, int) override {
        if (message == WM_INSTALL_PROGRESS) {
            progress.push_back(wParam);
            if (wParam == closeAt) engine->requestCancel();
        }
        if (message == WM_INSTALL_FAILURE) result = static_cast<InstallResult>(wParam);
    }
    InstallerEngine* engine = nullptr;
    int closeAt = 0;
    InstallResult result = RESULT_OK;
    std::vector<int> progress;
};

// The real system steps, telling the test when the last of them is done: the install's commit comes next.
class WatchedSteps final : public SystemSteps {
public:
    WatchedSteps(SystemSteps& steps, std::function<void()> lastDone) : steps_(steps), lastDone_(std::move(lastDone)) {}
    void stopRunningServices() override { steps_.stopRunningServices(); }
    bool notifyImeBeforeInstall() override { return steps_.notifyImeBeforeInstall(); }
    InstallResult clearOutdatedImeModules(const PackageVersion& ime, const PackageVersion& textService,
                                          ChangeJournal& journal, InstallLog& log) override {
        return steps_.clearOutdatedImeModules(ime, textService, journal, log);
    }
    void removeInstalledEdition(ChangeJournal& journal, InstallLog& log) override {
        steps_.removeInstalledEdition(journal, log);
    }
    void removeEarlierEditions(ChangeJournal& journal, InstallLog& log) override {
        steps_.removeEarlierEditions(journal, log);
    }
    InstallResult registerFontsAndProductKeys(const InstallerContext& context, ChangeJournal& journal,
                                              InstallLog& log) override {
        return steps_.registerFontsAndProductKeys(context, journal, log);
    }
    void writeProductRegistration(const InstallerContext& context, ChangeJournal& journal, InstallLog& log) override {
        steps_.writeProductRegistration(context, journal, log);
    }
    void writeUninstallEntry(const InstallerContext& context, ChangeJournal& journal, InstallLog& log) override {
        steps_.writeUninstallEntry(context, journal, log);
        lastDone_();
    }
    void notifyImeAfterInstall() override { steps_.notifyImeAfterInstall(); }
    bool undoChange(const JournalRecord& record, InstallLog& log) override { return steps_.undoChange(record, log); }

private:
    SystemSteps& steps_;
    std::function<void()> lastDone_;
};

// 64-bit Windows 10 with an earlier edition installed and in use: a program has its 32-bit IME module loaded,
// the user has typed (their data file is their own now), and an older edition left a layout and an uninstall
// entry behind.
class Machine {
public:
    Machine() {
        facts.version = {10, 0, platform::PRODUCT_WORKSTATION};
        facts.nativeArchitecture = platform::PROCESSOR_ARCH_AMD64;
        facts.windowsDir = facts.systemWindowsDir = scratch.engine(L"Windows");
        facts.roaming = scratch.engine(L"Users\\u\\AppData\\Roaming");
        facts.module = scratch.engine(L"setup.exe");
        shell.systemDirectoryPath = scratch.engine(L"Windows\\System32");
        for (const char* folder : {"Windows/System32", "Windows/Sysnative", "Windows/Fonts", "Users/u/AppData/Roaming"}) {
            fs::create_directories(scratch.path() / folder);
        }
        registry.putKey(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts");
        registry.putString(L"HKEY_CURRENT_USER\\Keyboard Layout\\Preload", L"1", L"00000409");
        registry.beforeChange = [this] { return allowChange() ? platform::kRegistrySuccess : platform::kRegistryAccessDenied; };
        files.beforeChange = [this] { return allowChange(); };

        EXPECT_EQ(RESULT_OK, install(editionPackage(100, true))) << "the earlier edition installs";
        writeFile(scratch.path() / "Users/u/AppData/Roaming/Zelnsoft/userphrase.dat", Bytes{'m', 'i', 'n', 'e'});
        files.loaded.insert(scratch.engine(L"Windows\\System32\\ZelnIme.ime"));
        registry.putString(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\E0010804",
                           L"IME File", L"ZelnsoftZelnCode.ime");
        registry.putString(L"HKEY_CURRENT_USER\\Keyboard Layout\\Preload", L"3", L"E0010804");
        registry.putString(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                           L"ZelnIME2016",
                           L"DisplayName", L"earlier");
        registry.putString(L"HKEY_CURRENT_USER\\SOFTWARE\\ZelnSoft\\RudeRadod", L"VERSION", L"7.26.0.0");
        writeFile(scratch.path() / "Windows/System32/ZelnsoftZelnCode.ime", noise(700, 1));
    }

    // One run of the installer: its outcome, or that the process ended.
    InstallResult install(const Installer& installer) {
        writeFile(scratch.path() / "setup.exe", installer.bytes);
        InstallerEngine engine;
        Outcome outcome;
        outcome.engine = &engine;
        outcome.closeAt = closeAt;
        engine.context().listener = &outcome;
        engine.initialize(facts, files, nullptr);
        engineOfRun = &engine;
        std::wstring directory;
        engine.defaultInstallDirectory(directory);
        setInstallDirectory(engine.context(), directory);
        InstallSystemSteps real(services());
        WatchedSteps steps(real, [this] { changesBeforeCommit = changes; });
        try {
            runInstall(engine, steps);
        } catch (const ProcessEnded&) {
            return kProcessEnded;
        }
        progress = outcome.progress;
        return outcome.result;
    }

    MachineState state() const {
        MachineState state;
        for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
            const std::string name = fs::relative(entry.path(), scratch.path()).generic_string();
            if (name == "setup.exe" || name == "Users/u/AppData/Roaming/ins.log") continue;
            state.files[entry.is_directory() ? name + "/" : name] = entry.is_directory() ? Bytes{} : readFile(entry.path());
        }
        state.registry = registry.contents();
        return state;
    }

    static constexpr InstallResult kProcessEnded = -1;

    // Counted over files and registry alike; the change numbered failAt fails (and the user closes the
    // wizard, so that the install stops even where a failed change is passed over), the one numbered endAt
    // ends the process before it is made.
    int changes = 0;
    int changesBeforeCommit = 0;
    int failAt = 0;
    int endAt = 0;
    int closeAt = 0;
    std::vector<int> progress;

private:
    bool allowChange() {
        ++changes;
        if (changes == endAt) throw ProcessEnded{};
        if (changes != failAt) return true;
        engineOfRun->requestCancel();
        return false;
    }
    platform::Services services() {
        return platform::Services{registry, layouts, shell,  eudc,     broadcast, processes,
                                  windows,  threads, files,  versions, facts,     calendar};
    }

public:
    ScratchDir scratch;
    platform::GivenSystemFacts facts;
    platform::FakeRegistry registry;
    platform::FakeKeyboardLayouts layouts;
    platform::FakeShell shell;
    platform::FakeEudc eudc;
    platform::FakeBroadcast broadcast;
    platform::FakeProcesses processes;
    platform::FakeWindowMessages windows;
    platform::FakeThreads threads;
    FilesInUse files;
    platform::FakeVersionInfo versions;
    platform::FakeCalendar calendar{{2026, 12, 8}};
    InstallerEngine* engineOfRun = nullptr;
};

const Installer& newEdition() {
    static const Installer installer = editionPackage(200, false);
    return installer;
}

// What a complete upgrade counts and reports, for the cases to go through.
struct Reference {
    int changesBeforeCommit = 0;
    std::vector<int> progress;
    MachineState upgraded;
};

const Reference& reference() {
    static const Reference measured = [] {
        Machine machine;
        machine.changes = 0;
        EXPECT_EQ(RESULT_OK, machine.install(newEdition()));
        return Reference{machine.changesBeforeCommit, machine.progress, machine.state()};
    }();
    return measured;
}

TEST(InstallUndo, ACompleteUpgradeReplacesTheEditionAndKeepsTheUsersData) {
    Machine machine;
    const MachineState before = machine.state();
    const Reference& upgrade = reference();
    EXPECT_GT(upgrade.changesBeforeCommit, 50);
    EXPECT_NE(before, upgrade.upgraded);
    EXPECT_EQ(noise(3000, 200), upgrade.upgraded.files.at("Program Files (x86)/Zelnsoft/ZelnIME/readme.txt"));
    EXPECT_EQ(noise(1500, 204), upgrade.upgraded.files.at("Windows/System32/ZelnIme.ime"));
    EXPECT_EQ(0u, upgrade.upgraded.files.count("Program Files (x86)/Zelnsoft/ZelnIME/old.dat"));
    EXPECT_EQ((Bytes{'m', 'i', 'n', 'e'}), upgrade.upgraded.files.at("Users/u/AppData/Roaming/Zelnsoft/userphrase.dat"));
}

// The user closes the wizard at every percentage the upgrade shows from the first change on.
TEST(InstallUndo, ClosingTheWizardAtAnyPercentageLeavesTheEarlierEditionAsItWas) {
    for (const int percent : reference().progress) {
        if (percent < 5 || percent > 97) continue;
        SCOPED_TRACE("closed at " + std::to_string(percent) + " %");
        Machine machine;
        const MachineState before = machine.state();
        machine.closeAt = percent;
        EXPECT_EQ(ERR_CANCELLED, machine.install(newEdition()));
        EXPECT_EQ(before, machine.state());
    }
}

// Every change fails in turn (a file that cannot be set aside, placed or put back, a registry value that cannot
// be written), and the install stops there.
TEST(InstallUndo, AnyChangeThatFailsLeavesTheEarlierEditionAsItWas) {
    for (int change = 1; change <= reference().changesBeforeCommit; ++change) {
        SCOPED_TRACE("change " + std::to_string(change) + " fails");
        Machine machine;
        const MachineState before = machine.state();
        machine.changes = 0;
        machine.failAt = change;
        EXPECT_NE(RESULT_OK, machine.install(newEdition()));
        EXPECT_EQ(before, machine.state());
    }
}

// The process ends dead before each change of the upgrade, and before each change of the undo of an upgrade
// that failed at its last step; the next run finds the journal, undoes what is left of that run and then
// stops at its own first check (an input-method window that does not answer): everything is as before the
// first run.
TEST(InstallUndo, ARunThatEndsDeadIsUndoneByTheNextRun) {
    const int upgradeChanges = reference().changesBeforeCommit;
    for (int change = 1; change <= 2 * upgradeChanges; ++change) {
        const bool duringUndo = change > upgradeChanges;
        SCOPED_TRACE("the process ends before change " + std::to_string(change) + (duringUndo ? ", in the undo" : ""));
        Machine machine;
        const MachineState before = machine.state();
        machine.changes = 0;
        machine.failAt = duringUndo ? upgradeChanges : 0;
        machine.endAt = change;
        const InstallResult first = machine.install(newEdition());
        if (first != Machine::kProcessEnded) break;  // the undo made fewer changes than that
        machine.endAt = 0;
        machine.failAt = 0;
        machine.threads.timesOut = true;
        EXPECT_EQ(ERR_PRECHECK, machine.install(newEdition()));
        EXPECT_EQ(before, machine.state());
    }
}

}  // namespace
