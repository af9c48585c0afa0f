#include "app/Deployment.h"

#include "engine/InstallerEngine.h"
#include "platform/TextCompare.h"

namespace {

bool isWhiteSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

bool isOption(const std::wstring& name, const wchar_t* option) {
    return platform::equalsIgnoringAsciiCase(name, option);
}

// What an exit code that ends a run after it began tells the deployment.
const wchar_t* outcomeMeaning(int exitCode) {
    switch (exitCode) {
        case 0: return L"installed";
        case EXIT_SUCCESS_RESTART_REQUIRED: return L"installed; the next restart completes the install";
        case EXIT_INSTALL_USEREXIT: return L"the wizard was closed before the install ended";
        case EXIT_INSTALL_FAILURE: return L"the install could not be started";
        default: return L"the install failed with this result code";
    }
}

// The option's name without its "/" or "-"; empty for a word that is no option.
std::wstring optionName(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return {};
    return argument.substr(1);
}

}  // namespace

const wchar_t kUsageText[] =
    L"ZelnIMESetup [/quiet | /passive] [/norestart] [/log FILE] [/?]\n"
    L"\n"
    L"/quiet\n"
    L"      Installs with no window at all; the agreement counts as accepted.\n"
    L"/passive\n"
    L"      Installs without a click, showing only the progress; closes itself.\n"
    L"/norestart\n"
    L"      Changes nothing: the installer never restarts the computer itself.\n"
    L"/log FILE\n"
    L"      Writes the install log to FILE and keeps it.\n"
    L"/?\n"
    L"      Shows this text.\n"
    L"Options may also start with \"-\" and are not case-sensitive.\n"
    L"\n"
    L"Exit codes: 0 installed; 3010 installed, completed by the next restart; 1602 closed by the user; 1603 the "
    L"install could not be started; 1618 another install is running; 1622 the log file cannot be written; 1639 "
    L"command line not understood; any other number is the result code of a failed install.";

const wchar_t kLogFailureText[] = L"The log file given with /log cannot be created or written. Nothing was installed.";

std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    std::size_t at = 0;
    const std::size_t end = commandLine.size();
    while (true) {
        while (at < end && isWhiteSpace(commandLine[at])) ++at;
        if (at >= end) return arguments;
        std::wstring argument;
        bool quoted = false;
        while (at < end && (quoted || !isWhiteSpace(commandLine[at]))) {
            std::size_t backslashes = 0;
            while (at < end && commandLine[at] == L'\\') {
                ++backslashes;
                ++at;
            }
            if (at < end && commandLine[at] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else if (quoted && at + 1 < end && commandLine[at + 1] == L'"') {
                    argument += L'"';
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                argument.append(backslashes, L'\\');
                if (backslashes == 0 && at < end) argument += commandLine[at++];
            }
        }
        arguments.push_back(argument);
    }
}

bool parseCommandLine(const std::wstring& commandLine, InstallerOptions& options) {
    options = InstallerOptions{};
    bool understood = true;
    bool logGiven = false;
    const std::vector<std::wstring> arguments = splitCommandLine(commandLine);
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::wstring name = optionName(arguments[index]);
        if (isOption(name, L"quiet")) {
            options.quiet = true;
        } else if (isOption(name, L"passive")) {
            options.passive = true;
        } else if (name == L"?") {
            options.usage = true;
        } else if (isOption(name, L"log")) {
            // The next word is the file, whatever it looks like.
            const bool fileGiven = index + 1 < arguments.size() && !arguments[index + 1].empty();
            understood = understood && fileGiven && !logGiven;
            logGiven = true;
            if (index + 1 < arguments.size()) options.logFile = arguments[++index];
        } else if (!isOption(name, L"norestart")) {
            understood = false;
        }
    }
    return understood && !(options.quiet && options.passive);
}

void recordOutcome(InstallerEngine& engine, int exitCode) {
    InstallLog& log = engine.log();
    if (!log.hasDeploymentLogPath()) return;
    // A package that could not be located leaves an emptied record: no system to name.
    if (!log.wroteLine() && engine.context().initResult == RESULT_OK) log.writeSystemLine(engine.context());
    log.writeLogLine(L"Exit code : %d, %s.", {exitCode, outcomeMeaning(exitCode)});
}
