#include "system/InstallSystemSteps.h"

#include "system/EarlierEditions.h"
#include "system/FontRegistration.h"
#include "system/InstalledEdition.h"
#include "system/ServiceShutdown.h"
#include "system/UninstallEntry.h"

RegistrationServices InstallSystemSteps::registration(InstallLog& log) const {
    const platform::Services& s = services_;
    return RegistrationServices{s.registry, s.keyboardLayouts, s.shell, s.eudc, s.broadcast, s.facts, s.calendar, log};
}

RemovalServices InstallSystemSteps::removal(InstallLog& log) const {
    const platform::Services& s = services_;
    return RemovalServices{s.registry, s.keyboardLayouts, s.broadcast, s.shell, s.directoryWalk, s.facts, log};
}

void InstallSystemSteps::stopRunningServices() { ::stopRunningServices(services_.processes, services_.windowMessages); }

bool InstallSystemSteps::notifyImeBeforeInstall() {
    return ::notifyImeBeforeInstall(services_.windowMessages, services_.threads);
}

InstallResult InstallSystemSteps::clearOutdatedImeModules(const PackageVersion& imeVersion,
                                                          const PackageVersion& textServiceVersion, InstallLog& log) {
    RemovalServices services = removal(log);
    ModuleRemoval modules = moduleRemoval(services);
    return ::clearOutdatedImeModules(services_.versions, modules, imeVersion, textServiceVersion);
}

void InstallSystemSteps::removeInstalledEdition(InstallLog& log) {
    RemovalServices services = removal(log);
    ::removeInstalledEdition(services);
}

void InstallSystemSteps::removeEarlierEditions(InstallLog& log) {
    RemovalServices services = removal(log);
    ::removeEarlierEditions(services);
}

InstallResult InstallSystemSteps::registerFontsAndProductKeys(const InstallerContext& context, InstallLog& log) {
    RegistrationServices services = registration(log);
    return ::registerFontsAndProductKeys(services, context);
}

void InstallSystemSteps::writeProductRegistration(const InstallerContext& context, InstallLog& log) {
    RegistrationServices services = registration(log);
    ::writeProductRegistration(services, context);
}

void InstallSystemSteps::writeUninstallEntry(const InstallerContext& context, InstallLog& log) {
    RegistrationServices services = registration(log);
    ::writeUninstallEntry(services, context);
}

void InstallSystemSteps::notifyImeAfterInstall() {
    ::notifyImeAfterInstall(services_.windowMessages, services_.threads);
}
