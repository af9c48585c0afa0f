// The system-integration steps of an install, run on whatever system the bundle of services describes:
// the install sequence's view of this layer. Each step sees the registry and the files through the install's
// journal, so that everything it changes can be undone.
#pragma once

#include "engine/SystemSteps.h"
#include "platform/Services.h"
#include "system/JournaledRegistry.h"
#include "system/RegistrationServices.h"
#include "system/RemovalServices.h"

class InstallSystemSteps final : public SystemSteps {
public:
    // The services must outlive this object.
    explicit InstallSystemSteps(const platform::Services& services) : services_(services) {}

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
    // Undone on the system itself, not through the journal.
    bool undoChange(const JournalRecord& record, InstallLog& log) override;

private:
    RegistrationServices registration(JournaledRegistry& registry, ChangeJournal& journal, InstallLog& log) const;
    RemovalServices removal(JournaledRegistry& registry, ChangeJournal& journal, InstallLog& log) const;

    platform::Services services_;
};
