// The machines `pkgtool extract` can pretend to be, each with its Windows folders mapped below a folder DIR:
//   DIR/C/Windows                          Windows directory (Fonts, System32, Sysnative below it)
//   DIR/C/Program Files, Program Files (x86)
//   DIR/C/Users/user/AppData/Roaming       roaming application data (Local, LocalLow beside it)
#pragma once

#include "platform/GivenSystemFacts.h"

#include <string>
#include <vector>

namespace pkgtool {

struct FactSet {
    const char* name;
    const char* description;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint8_t productType;
    std::uint16_t architecture;
};

const std::vector<FactSet>& factSets();

// The named machine with its folders below root (an engine path); false for an unknown name.
bool factsFor(const std::string& name, const std::wstring& root, const std::wstring& installer,
              platform::GivenSystemFacts& facts);

}  // namespace pkgtool
