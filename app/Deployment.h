#pragma once
// How deployment tools and scripts run the installer: its command-line options and the exit codes that tell
// them the outcome. The codes are those they already know from Windows Installer; a failed install exits with
// its result code, the number the failure page shows.
#include <cstdint>
#include <string>
#include <vector>

constexpr int EXIT_INSTALL_USEREXIT = 1602;           // the wizard was closed before the install ended
constexpr int EXIT_INSTALL_FAILURE = 1603;            // the install could not even be started
constexpr int EXIT_INSTALL_ALREADY_RUNNING = 1618;    // another installer runs on this machine
constexpr int EXIT_INSTALL_LOG_FAILURE = 1622;        // the "/log" file cannot be created or written
constexpr int EXIT_INVALID_COMMAND_LINE = 1639;       // an option it does not understand
constexpr int EXIT_SUCCESS_RESTART_REQUIRED = 3010;   // installed; files in use are replaced at the next restart

class InstallerEngine;

// What the command line asks for. Options start with "/" or "-" and ignore case. "/norestart", which
// deployment tools give every installer, is accepted and changes nothing: this one never restarts the
// computer itself.
struct InstallerOptions {
    bool quiet = false;    // "/quiet": no window at all, the agreement taken as accepted
    bool passive = false;  // "/passive": the wizard installs without a click and closes itself
    bool usage = false;    // "/?": the usage, nothing installed
    std::wstring logFile;  // "/log FILE": the install log goes to FILE and is kept

    // Nobody may be there to read a message box: one would hold the deployment for ever.
    bool unattended() const { return quiet || passive; }
};

// The arguments of a command line (without the program's name), split as Windows' C runtime splits them:
// white space separates arguments except inside double quotes; 2n backslashes before a quote give n
// backslashes and the quote opens or closes a quoted part, 2n + 1 give n backslashes and a literal quote; a
// doubled quote inside a quoted part is a literal quote; other backslashes are literal.
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);

// False for a command line the installer does not understand: an unknown option or word, "/log" without a
// file or given twice, or both "/quiet" and "/passive". Every word is read even then, so that the options
// tell whether the run is unattended wherever "/quiet" or "/passive" stands.
bool parseCommandLine(const std::wstring& commandLine, InstallerOptions& options);

// Ends the deployment's log (none for "ins.log") with the run's exit code and what it means. A run that ended
// before its install wrote a line (the install folder unusable, the install not started, the wizard closed on
// its first page) first gets the system line where the engine still knows it, so that the log says where it
// ran.
void recordOutcome(InstallerEngine& engine, int exitCode);

// The texts of the message boxes: the usage, and a "/log" file that cannot be created or written.
extern const wchar_t kUsageText[];
extern const wchar_t kLogFailureText[];
