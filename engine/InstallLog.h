// The diagnostic log "ins.log" in the user's roaming application-data folder: a UTF-8 text file (byte-order
// mark when new, CRLF line ends) that every line appends to. No handle stays open between lines, so a crash
// loses at most the line being written, and a log that cannot be opened never affects the install.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>

struct InstallerContext;

// One argument of a log line: "%s" takes a wide string, "%d" a signed integer.
class LogArg {
public:
    LogArg(const wchar_t* text) : text_(text ? text : L""), isText_(true) {}
    LogArg(const std::wstring& text) : text_(text.c_str()), isText_(true) {}
    LogArg(long long number) : number_(number) {}
    LogArg(int number) : number_(number) {}
    LogArg(long number) : number_(number) {}
    LogArg(unsigned number) : number_(number) {}

    const wchar_t* text() const { return isText_ ? text_ : L""; }
    std::int64_t number() const { return isText_ ? 0 : number_; }
    bool isText() const { return isText_; }

private:
    const wchar_t* text_ = L"";
    std::int64_t number_ = 0;
    bool isText_ = false;
};

// The line a format gives: "%s" and "%d" take the next argument, "%%" is a percent sign; a conversion with no
// argument left, or of the wrong kind, writes nothing.
std::wstring formatLogLine(const wchar_t* format, std::initializer_list<LogArg> args);

class InstallLog {
public:
    // The log file's full path, "%s\\ins.log" of the roaming application-data folder.
    void setLogPath(const std::wstring& path);
    const std::wstring& logPath() const { return path_; }

    // Starts the file that whoever deploys the installer asked for, given by its full path: its folders are
    // made and the file is created anew, empty. Every line then goes there instead of "ins.log", and it is
    // kept after a successful install too. False, and the log left as it was, when the file cannot be created
    // or written.
    bool startDeploymentLog(const std::wstring& path);
    bool hasDeploymentLogPath() const { return kept_; }

    // Appends the formatted line and a line end; does nothing when the file cannot be opened.
    void writeLogLine(const wchar_t* format, std::initializer_list<LogArg> args = {});
    // The line that opens every install run's lines: the detected edition and architecture.
    void writeSystemLine(const InstallerContext& context);
    // True once a line has reached the file. The worker writes the log while the interface thread may ask,
    // after the wizard was closed in the middle of an install.
    bool wroteLine() const { return wroteLine_; }

    // Deletes the log file, unless it is the deployment's; a failure leaves it.
    void deleteLogFile();

private:
    std::wstring path_;
    bool kept_ = false;
    std::atomic<bool> wroteLine_{false};
};
