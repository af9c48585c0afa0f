// The registration steps over fakes of everything they touch, and the install log in a file of its own.
#pragma once

#include "platform/GivenSystemFacts.h"
#include "platform/fake/FakeBroadcast.h"
#include "platform/fake/FakeCalendar.h"
#include "platform/fake/FakeEudc.h"
#include "platform/fake/FakeKeyboardLayouts.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/fake/FakeShell.h"
#include "system/RegistrationServices.h"
#include "tests/unit/engine/RecordedChanges.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

constexpr wchar_t kHkcu[] = L"HKEY_CURRENT_USER\\";
constexpr wchar_t kHklm[] = L"HKEY_LOCAL_MACHINE\\";
constexpr wchar_t kLayoutList[] = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";
constexpr wchar_t kPreload[] = L"HKEY_CURRENT_USER\\Keyboard Layout\\Preload";
constexpr wchar_t kProduct[] = L"HKEY_CURRENT_USER\\Software\\Zelnsoft\\RudeRadod";

class RegistrationTest : public ::testing::Test {
protected:
    RegistrationTest() {
        facts.version = {10, 0, platform::PRODUCT_WORKSTATION};
        // Every Windows has both lists, if empty.
        registry.putKey(kLayoutList);
        registry.putKey(kPreload);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        logFile = std::filesystem::temp_directory_path() /
                  (std::string("zeln-registration-") + info->test_suite_name() + "-" + info->name() + ".log");
        std::filesystem::remove(logFile);
        log.setLogPath(logFile.wstring());
    }
    ~RegistrationTest() override { std::filesystem::remove(logFile); }

    // The install log's lines, without the byte-order mark and line ends.
    std::vector<std::string> logLines() const {
        std::ifstream stream(logFile, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
            text.erase(0, 3);
        }
        std::vector<std::string> lines;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 2;
        }
        return lines;
    }

    // The stored value's text, type and byte count as "text|type|bytes", or "missing".
    std::wstring stored(const std::wstring& keyPath, const std::wstring& name) const {
        platform::RegistryValue value;
        if (!registry.readValue(keyPath, name, value)) {
            return L"missing";
        }
        std::uint32_t number = 0;
        const std::wstring data = value.dword(number) ? std::to_wstring(number) : value.text();
        return data + L"|" + std::to_wstring(static_cast<std::uint32_t>(value.type)) + L"|" +
               std::to_wstring(value.data.size());
    }

    // A layout key as its "IME File" holds it.
    void putLayout(const std::wstring& layoutId, const std::wstring& imeFile) {
        registry.putString(std::wstring(kLayoutList) + L"\\" + layoutId, L"IME File", imeFile);
    }

    // The names of the RegSetValueExW calls so far, with their byte counts, as "name:bytes ...".
    std::wstring writes() const {
        std::wstring list;
        for (const auto& call : registry.calls()) {
            if (call.api == L"RegSetValueExW") {
                list += call.valueName + L":" + std::to_wstring(call.byteCount) + L" ";
            }
        }
        return list;
    }

    platform::FakeRegistry registry;
    platform::FakeKeyboardLayouts keyboardLayouts;
    platform::FakeShell shell;
    platform::FakeEudc eudc;
    platform::FakeBroadcast broadcast;
    platform::GivenSystemFacts facts;
    platform::FakeCalendar calendar{{2026, 12, 6}};
    InstallLog log;
    std::filesystem::path logFile;
    RecordedChanges changes;
    RegistrationServices services{registry, keyboardLayouts, shell, eudc, broadcast, facts, calendar, log, changes};
};
