#include "engine/InstallLog.h"

#include "engine/InstallerContext.h"
#include "platform/Files.h"

#include <string>

std::wstring formatLogLine(const wchar_t* format, std::initializer_list<LogArg> args) {
    std::wstring line;
    auto next = args.begin();
    for (const wchar_t* c = format; c && *c; ++c) {
        if (*c != L'%' || (c[1] != L's' && c[1] != L'd' && c[1] != L'%')) {
            line += *c;
            continue;
        }
        const wchar_t conversion = *++c;
        if (conversion == L'%') {
            line += L'%';
        } else if (next != args.end()) {
            const LogArg& arg = *next++;
            if (conversion == L's' && arg.isText()) {
                line += arg.text();
            } else if (conversion == L'd' && !arg.isText()) {
                line += std::to_wstring(arg.number());
            }
        }
    }
    return line;
}

void InstallLog::setLogPath(const std::wstring& path) {
    path_ = path;
}

void InstallLog::writeLogLine(const wchar_t* format, std::initializer_list<LogArg> args) {
    if (!path_.empty() && platform::appendTextLine(path_, formatLogLine(format, args))) {
        wroteLine_ = true;
    }
}

void InstallLog::writeSystemLine(const InstallerContext& context) {
    writeLogLine(L"OS Type : %s %s bit.", {osTypeName(context.osType), archCodeName(context.archCode)});
}

bool InstallLog::startDeploymentLog(const std::wstring& path) {
    if (ensureDirectories(path, true) == ERR_CREATE_DIRECTORY) return false;
    platform::File created(path, platform::FileMode::Write);
    if (!created.isOpen() || !created.close()) return false;
    path_ = path;
    kept_ = true;
    return true;
}

void InstallLog::deleteLogFile() {
    if (!path_.empty() && !kept_) {
        platform::deleteFile(path_);
    }
}
