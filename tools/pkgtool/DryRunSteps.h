#pragma once
// The system-integration steps of an install run on a build machine: each only says what it would do to
// Windows, so that `pkgtool extract` runs the installer's own install sequence, every step in its place,
// while only the files below its folder are real.
#include "engine/SystemSteps.h"

#include <ostream>
#include <string>

namespace pkgtool {

class DryRunSteps final : public SystemSteps {
public:
    explicit DryRunSteps(std::ostream& out) : out_(out) {}

    void stopRunningServices() override;
    bool notifyImeBeforeInstall() override;
    InstallResult clearOutdatedImeModules(const PackageVersion& imeVersion, const PackageVersion& textServiceVersion,
                                          ChangeJournal& journal, InstallLog& log) override;
    void removeInstalledEdition(ChangeJournal& journal, InstallLog& log) override;
    void removeEarlierEditions(ChangeJournal& journal, InstallLog& log) override;
    InstallResult registerFontsAndProductKeys(const InstallerContext& context, ChangeJournal& journal,
                                              InstallLog& log) override;
    void writeProductRegistration(const InstallerContext& context, ChangeJournal& journal, InstallLog& log) override;
    void writeUninstallEntry(const InstallerContext& context, ChangeJournal& journal, InstallLog& log) override;
    void notifyImeAfterInstall() override;
    // The dry steps journal nothing of their own, so nothing of theirs is ever undone.
    bool undoChange(const JournalRecord& record, InstallLog& log) override;

private:
    void would(const std::string& what);

    std::ostream& out_;
};

}  // namespace pkgtool
