// The system-integration steps of an install, run on whatever system the bundle of services describes:
// the install sequence's view of this layer.
#pragma once

#include "engine/SystemSteps.h"
#include "platform/Services.h"
#include "system/RegistrationServices.h"
#include "system/RemovalServices.h"

class InstallSystemSteps final : public SystemSteps {
public:
    // The services must outlive this object.
    explicit InstallSystemSteps(const platform::Services& services) : services_(services) {}

    void stopRunningServices() override;
    bool notifyImeBeforeInstall() override;
    InstallResult clearOutdatedImeModules(const PackageVersion& imeVersion, const PackageVersion& textServiceVersion,
                                          InstallLog& log) override;
    void removeInstalledEdition(InstallLog& log) override;
    void removeEarlierEditions(InstallLog& log) override;
    InstallResult registerFontsAndProductKeys(const InstallerContext& context, InstallLog& log) override;
    void writeProductRegistration(const InstallerContext& context, InstallLog& log) override;
    void writeUninstallEntry(const InstallerContext& context, InstallLog& log) override;
    void notifyImeAfterInstall() override;

private:
    RegistrationServices registration(InstallLog& log) const;
    RemovalServices removal(InstallLog& log) const;

    platform::Services services_;
};
