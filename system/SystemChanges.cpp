#include "system/SystemChanges.h"

#include "system/FontRegistration.h"
#include "system/JournaledRegistry.h"

namespace {

constexpr wchar_t kRunOnUndo[] = L"run-on-undo";
constexpr wchar_t kLayoutRetired[] = L"layout-retired";
constexpr wchar_t kLayoutLoaded[] = L"layout-loaded";
constexpr wchar_t kFontsChanging[] = L"fonts-changing";

bool runToUndo(const UndoServices& services, const JournalRecord& record, InstallLog& log) {
    platform::ShellExecution execution;
    execution.mask = platform::kSeeMaskNoCloseProcess;
    execution.verb = L"open";
    execution.file = record.fields[0];
    execution.parameters = record.fields[1];
    execution.directory = record.fields[2];
    execution.show = platform::kSwShow;
    if (services.shell.executeAndWait(execution)) return true;
    log.writeLogLine(L"Could not run to undo: %s %s", {execution.file, execution.parameters});
    return false;
}

bool loadAgain(const UndoServices& services, const std::wstring& layoutId, InstallLog& log) {
    if (services.keyboardLayouts.loadLayout(layoutId, platform::kKlfActivate) != 0) return true;
    log.writeLogLine(L"Layout not loaded again: %s", {layoutId});
    return false;
}

// A layout the install loaded leaves the installer's own input languages; one that cannot be loaded is not
// there to unload.
bool unload(const UndoServices& services, const std::wstring& layoutId) {
    const std::intptr_t layout = services.keyboardLayouts.loadLayout(layoutId, 0);
    if (layout != 0) services.keyboardLayouts.unloadLayout(layout);
    return true;
}

}  // namespace

JournalRecord undoneByRunning(const platform::ShellExecution& execution) {
    return {kRunOnUndo, {execution.file, execution.parameters, execution.directory}};
}

JournalRecord layoutRetired(const std::wstring& layoutId) { return {kLayoutRetired, {layoutId}}; }

JournalRecord layoutLoaded(const std::wstring& layoutId) { return {kLayoutLoaded, {layoutId}}; }

JournalRecord fontsChanging() { return {kFontsChanging, {}}; }

bool undoSystemChange(const UndoServices& services, const JournalRecord& record, InstallLog& log) {
    if (JournaledRegistry::writes(record.kind)) return JournaledRegistry::undo(services.registry, record, log);
    if (record.kind == kRunOnUndo && record.fields.size() == 3) return runToUndo(services, record, log);
    if (record.kind == kLayoutRetired && record.fields.size() == 1) return loadAgain(services, record.fields[0], log);
    if (record.kind == kLayoutLoaded && record.fields.size() == 1) return unload(services, record.fields[0]);
    if (record.kind == kFontsChanging) {
        services.broadcast.sendToAllWindows(platform::kWmFontChange, 0, 0, kFontChangeTimeoutMs);
        return true;
    }
    log.writeLogLine(L"Journal record not understood: %s", {record.kind});
    return false;
}
