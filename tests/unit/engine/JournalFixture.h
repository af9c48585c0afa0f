// A change journal over a fake file tree, as the removal steps use it on 64-bit Windows: the journal's own
// file in a scratch folder of the real disk, the changes in the fake tree, and an install log whose lines can
// be read back.
#pragma once

#include "engine/ChangeJournal.h"
#include "platform/GivenSystemFacts.h"
#include "platform/fake/FakeDirectoryWalk.h"
#include "tests/unit/engine/EngineFixture.h"

#include <string>
#include <vector>

namespace enginetest {

inline const std::wstring kFakeWindows = L"C:\\Windows";
inline const std::wstring kFakeSystem32 = L"C:\\Windows\\System32\\";
inline const std::wstring kFakeSysnative = L"C:\\Windows\\Sysnative\\";
// Where System32 really lies for the installer, a 32-bit program on 64-bit Windows.
inline const std::wstring kFakeSysWow64 = L"C:\\Windows\\SysWOW64";

class JournalOverFakes {
public:
    JournalOverFakes() {
        facts.windowsDir = kFakeWindows;
        facts.wow64SystemDir = kFakeSysWow64;
        log.setLogPath(scratch.engine(L"ins.log"));
        journal.begin(journalPath());
    }

    std::wstring journalPath() const { return scratch.engine(L"tmp\\install.journal"); }
    // The log's lines, without byte-order mark and line ends.
    std::vector<std::wstring> logLines() const {
        const Bytes bytes = readFile(nativePath(scratch.engine(L"ins.log")));
        std::string text(bytes.begin(), bytes.end());
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
        std::vector<std::wstring> lines;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            lines.push_back(platform::fromUtf8(text.substr(start, end - start)));
            start = end == std::string::npos ? text.size() : end + 2;
        }
        return lines;
    }
    // Every path of the fake tree, in order.
    std::vector<std::wstring> tree() const {
        std::vector<std::wstring> paths;
        for (const auto& node : files.nodes) paths.push_back(node.first);
        return paths;
    }

    ScratchDir scratch;
    platform::FakeDirectoryWalk files;
    platform::GivenSystemFacts facts;
    InstallLog log;
    ChangeJournal journal{files, facts, log};
};

}  // namespace enginetest
