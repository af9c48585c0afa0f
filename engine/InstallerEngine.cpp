#include "engine/InstallerEngine.h"

#include "platform/SystemFacts.h"

InstallResult InstallerEngine::initialize(const platform::SystemFacts& facts, platform::DirectoryWalk& files,
                                          EngineCallback callback) {
    callback_ = callback;
    facts_ = &facts;
    files_ = &files;
    // An unknown edition or a failed version query leaves slots empty; only a missing package stops the install.
    detectSystem(context_, facts);
    computeDirectories(context_, facts);
    context_.initResult = locatePackage(context_);
    return context_.initResult;
}

InstallResult InstallerEngine::defaultInstallDirectory(std::wstring& directory) const {
    if (!facts_) {
        return ERR_CREATE_DIRECTORY;
    }
    const bool x86 = facts_->nativeProcessorArchitecture() == platform::PROCESSOR_ARCH_INTEL;
    std::wstring path;
    if (!composePath(systemDrive(*facts_), x86 ? L"Program Files\\Zelnsoft" : L"Program Files (x86)\\Zelnsoft",
                     path)) {
        return ERR_CREATE_DIRECTORY;
    }
    directory = path;
    return RESULT_OK;
}

bool InstallerEngine::productVersion(PackageVersion& version) const {
    version = context_.trailer.productVersion;
    return true;
}
