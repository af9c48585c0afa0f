#include "tools/pkgtool/DryRunSteps.h"

#include "tools/pkgtool/Text.h"

namespace pkgtool {

void DryRunSteps::would(const std::string& what) { out_ << "would " << what << "\n" << std::flush; }

void DryRunSteps::stopRunningServices() { would("stop the input method's running services"); }

bool DryRunSteps::notifyImeBeforeInstall() {
    would("tell running input-method instances that the install begins");
    return true;
}

InstallResult DryRunSteps::clearOutdatedImeModules(const PackageVersion& imeVersion,
                                                   const PackageVersion& textServiceVersion, ChangeJournal&,
                                                   InstallLog&) {
    would("take out of the system folders every IME module but version " + versionText(imeVersion) +
          " and every text-service module but version " + versionText(textServiceVersion));
    return RESULT_OK;
}

void DryRunSteps::removeInstalledEdition(ChangeJournal&, InstallLog&) { would("remove the installed edition"); }

void DryRunSteps::removeEarlierEditions(ChangeJournal&, InstallLog&) { would("remove earlier editions"); }

InstallResult DryRunSteps::registerFontsAndProductKeys(const InstallerContext&, ChangeJournal&, InstallLog&) {
    would("register the fonts, the application keys, the keyboard layouts, the text service and the EUDC link");
    return RESULT_OK;
}

void DryRunSteps::writeProductRegistration(const InstallerContext&, ChangeJournal&, InstallLog&) {
    would("write the product registration");
}

void DryRunSteps::writeUninstallEntry(const InstallerContext&, ChangeJournal&, InstallLog&) { would("write the uninstall entry"); }

void DryRunSteps::notifyImeAfterInstall() { would("tell running input-method instances that the files are in place"); }

bool DryRunSteps::undoChange(const JournalRecord& record, InstallLog&) {
    would("undo " + std::string(record.kind.begin(), record.kind.end()));
    return true;
}

}  // namespace pkgtool
