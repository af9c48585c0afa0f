#include "tools/pkgtool/FactSets.h"

namespace pkgtool {

const std::vector<FactSet>& factSets() {
    static const std::vector<FactSet> sets = {
        {"win7-x64", "64-bit Windows 7 (6.1 workstation, AMD64)", 6, 1, platform::PRODUCT_WORKSTATION,
         platform::PROCESSOR_ARCH_AMD64},
        {"win10-x64", "64-bit Windows 10 (10.0 workstation, AMD64)", 10, 0, platform::PRODUCT_WORKSTATION,
         platform::PROCESSOR_ARCH_AMD64},
        {"win8-x86", "32-bit Windows 8 (6.2 workstation, x86)", 6, 2, platform::PRODUCT_WORKSTATION,
         platform::PROCESSOR_ARCH_INTEL},
        {"xp-x86", "32-bit Windows XP (5.1 workstation, x86)", 5, 1, platform::PRODUCT_WORKSTATION,
         platform::PROCESSOR_ARCH_INTEL},
        {"server2012r2-x64", "Windows Server 2012 R2 (6.3 server, AMD64): no system folders", 6, 3, 3,
         platform::PROCESSOR_ARCH_AMD64},
    };
    return sets;
}

bool factsFor(const std::string& name, const std::wstring& root, const std::wstring& installer,
              platform::GivenSystemFacts& facts) {
    for (const FactSet& set : factSets()) {
        if (name == set.name) {
            facts.version = {set.majorVersion, set.minorVersion, set.productType};
            facts.nativeArchitecture = set.architecture;
            facts.windowsDir = root + L"\\C\\Windows";
            facts.systemWindowsDir = facts.windowsDir;
            facts.roaming = root + L"\\C\\Users\\user\\AppData\\Roaming";
            facts.module = installer;
            return true;
        }
    }
    return false;
}

}  // namespace pkgtool
