#include "system/InstallSystemSteps.h"

#include "system/EarlierEditions.h"
#include "system/FontRegistration.h"
#include "system/InstalledEdition.h"
#include "system/ServiceShutdown.h"
#include "system/SystemChanges.h"
#include "system/UninstallEntry.h"

RegistrationServices InstallSystemSteps::registration(JournaledRegistry& registry, ChangeJournal& journal,
                                                      InstallLog& log) const {
    const platform::Services& s = services_;
    return RegistrationServices{registry, s.keyboardLayouts, s.shell, s.eudc, s.broadcast, s.facts,
                                s.calendar, log,          journal};
}

RemovalServices InstallSystemSteps::removal(JournaledRegistry& registry, ChangeJournal& journal,
                                            InstallLog& log) const {
    const platform::Services& s = services_;
    return RemovalServices{registry, s.keyboardLayouts, s.broadcast, s.shell, journal.files(), s.facts, log, journal};
}

void InstallSystemSteps::stopRunningServices() { ::stopRunningServices(services_.processes, services_.windowMessages); }

bool InstallSystemSteps::notifyImeBeforeInstall() {
    return ::notifyImeBeforeInstall(services_.windowMessages, services_.threads);
}

InstallResult InstallSystemSteps::clearOutdatedImeModules(const PackageVersion& imeVersion,
                                                          const PackageVersion& textServiceVersion,
                                                          ChangeJournal& journal, InstallLog& log) {
    JournaledRegistry registry(services_.registry, journal);
    RemovalServices services = removal(registry, journal, log);
    if (!keepTextServiceRegistration(services)) return ERR_PRECHECK;
    ModuleRemoval modules = moduleRemoval(services);
    return ::clearOutdatedImeModules(services_.versions, modules, imeVersion, textServiceVersion);
}

void InstallSystemSteps::removeInstalledEdition(ChangeJournal& journal, InstallLog& log) {
    JournaledRegistry registry(services_.registry, journal);
    RemovalServices services = removal(registry, journal, log);
    ::removeInstalledEdition(services);
}

void InstallSystemSteps::removeEarlierEditions(ChangeJournal& journal, InstallLog& log) {
    JournaledRegistry registry(services_.registry, journal);
    RemovalServices services = removal(registry, journal, log);
    ::removeEarlierEditions(services);
}

InstallResult InstallSystemSteps::registerFontsAndProductKeys(const InstallerContext& context, ChangeJournal& journal,
                                                              InstallLog& log) {
    JournaledRegistry registry(services_.registry, journal);
    RegistrationServices services = registration(registry, journal, log);
    return ::registerFontsAndProductKeys(services, context);
}

void InstallSystemSteps::writeProductRegistration(const InstallerContext& context, ChangeJournal& journal,
                                                  InstallLog& log) {
    JournaledRegistry registry(services_.registry, journal);
    RegistrationServices services = registration(registry, journal, log);
    ::writeProductRegistration(services, context);
}

void InstallSystemSteps::writeUninstallEntry(const InstallerContext& context, ChangeJournal& journal,
                                             InstallLog& log) {
    JournaledRegistry registry(services_.registry, journal);
    RegistrationServices services = registration(registry, journal, log);
    ::writeUninstallEntry(services, context);
}

void InstallSystemSteps::notifyImeAfterInstall() {
    ::notifyImeAfterInstall(services_.windowMessages, services_.threads);
}

bool InstallSystemSteps::undoChange(const JournalRecord& record, InstallLog& log) {
    const platform::Services& s = services_;
    return undoSystemChange(UndoServices{s.registry, s.shell, s.keyboardLayouts, s.broadcast}, record, log);
}
