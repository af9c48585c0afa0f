// The things the install sequence asks of the system-integration layer, in the order it asks them. The engine
// knows them only through this interface; the wizard hands it the real implementation, and a test can hand it
// one that records the calls. Every step that changes the machine makes its changes through the run's
// journal, and undoes the ones of its own kinds when the journal asks.
#pragma once

#include "engine/ChangeJournal.h"
#include "engine/InstallLog.h"
#include "engine/InstallResult.h"
#include "engine/InstallerContext.h"

class SystemSteps : public SystemUndo {
public:
    // Ends the input method's running service processes. Nothing it finds is an error.
    virtual void stopRunningServices() = 0;
    // Sends the before-install notice to the input method's running instances; false when they did not all
    // answer in time.
    virtual bool notifyImeBeforeInstall() = 0;
    // Takes IME and text-service modules of other versions out of the system directories (set aside until the
    // install succeeds); nonzero when one that had to go cannot be moved.
    virtual InstallResult clearOutdatedImeModules(const PackageVersion& imeVersion,
                                                  const PackageVersion& textServiceVersion, ChangeJournal& journal,
                                                  InstallLog& log) = 0;
    // Takes out the present edition: layouts, text-service registration, modules, application files.
    virtual void removeInstalledEdition(ChangeJournal& journal, InstallLog& log) = 0;
    // Takes out what earlier editions left.
    virtual void removeEarlierEditions(ChangeJournal& journal, InstallLog& log) = 0;
    // Registers the fonts, the application keys, the keyboard layouts, the text service and the EUDC link.
    virtual InstallResult registerFontsAndProductKeys(const InstallerContext& context, ChangeJournal& journal,
                                                      InstallLog& log) = 0;
    virtual void writeProductRegistration(const InstallerContext& context, ChangeJournal& journal,
                                          InstallLog& log) = 0;
    virtual void writeUninstallEntry(const InstallerContext& context, ChangeJournal& journal, InstallLog& log) = 0;
    // Sends the after-install notice to the input method's running instances.
    virtual void notifyImeAfterInstall() = 0;

protected:
    ~SystemSteps() = default;
};
