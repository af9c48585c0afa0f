#include "tools/pkgtool/Commands.h"

#include "engine/FilePlacement.h"
#include "engine/InstallSequence.h"
#include "engine/InstallerEngine.h"
#include "platform/posix/PosixDirectoryWalk.h"
#include "tools/pkgtool/DryRunSteps.h"
#include "tools/pkgtool/FactSets.h"
#include "tools/pkgtool/Manifest.h"
#include "tools/pkgtool/PackageReader.h"
#include "tools/pkgtool/Text.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace pkgtool {

namespace {

namespace fs = std::filesystem;

constexpr int kFault = 1;
constexpr int kUsage = 2;

const char kHelp[] = R"(usage:
  pkgtool build --stub STUB.exe --manifest MANIFEST.json --out OUT.exe
      Appends a package built from the manifest to a copy of the (unsigned) stub program. Sign OUT.exe
      afterwards if it is to be signed. The same inputs always give the same bytes.
  pkgtool list INSTALLER.exe
      Shows the trailer and one line per entry: kind, verify, size, MD5, name.
  pkgtool verify INSTALLER.exe
      Decompresses the package and checks its gzip CRC and length, the directory, that the entry sizes
      add up to the data area, and every entry's MD5. Exit 0 when sound.
  pkgtool extract INSTALLER.exe DIR [--facts NAME]
      Runs the installer's own install sequence here for the machine NAME (default win7-x64), with that
      machine's folders mapped below DIR: extraction, placement and verification for real, every step that
      would change Windows itself only named ("would ..."). Prints every progress percentage as it is
      reported, then the result; the exit status is the result code. A failed run leaves its ins.log below DIR.

manifest (JSON):
  { "productCode": "{GUID}", "upgradeCode": "{GUID}",
    "productVersion": "a.b.c.d", "imeVersion": "a.b.c.d", "textServiceVersion": "a.b.c.d",
    "files": [ { "source": "path relative to the manifest", "name": "folder\\file.ext",
                 "kind": 0-9, "verify": true|false }, ... ] }
  kinds: 0 install directory, 1 64-bit system directory (Sysnative), 2 System32, 3 Fonts,
         4 Program Files (x86) on 64-bit / Program Files on 32-bit, 5 64-bit Program Files,
         6 roaming application data, 7 Local, 8 LocalLow, 9 their parent (AppData)

extract: destination slots below DIR
  0 install directory   DIR/C/Program Files (x86)/Zelnsoft (64-bit) or DIR/C/Program Files/Zelnsoft,
                        with its temporary folder tmp
  1 Sysnative           DIR/C/Windows/Sysnative    (64-bit machines)
  2 System32            DIR/C/Windows/System32
  3 Fonts               DIR/C/Windows/Fonts
  4 Program Files       DIR/C/Program Files (x86) (64-bit) or DIR/C/Program Files (32-bit)
  5 Program Files 64    DIR/C/Program Files        (64-bit machines)
  6 Roaming             DIR/C/Users/user/AppData/Roaming
  7 Local               DIR/C/Users/user/AppData/Local
  8 LocalLow            DIR/C/Users/user/AppData/LocalLow
  9 AppData             DIR/C/Users/user/AppData
  Slots a machine lacks stay empty; an entry for them ends the extraction with 14.
facts:
)";

void printHelp(std::ostream& out) {
    out << kHelp;
    for (const FactSet& set : factSets()) {
        out << "  " << set.name << std::string(18 - std::string(set.name).size(), ' ') << set.description << "\n";
    }
}

bool enginePath(const std::string& path, std::wstring& wide) {
    return wideFromUtf8(fs::absolute(path).lexically_normal().string(), wide);
}

// The value after a named option; empty when absent.
std::string optionValue(const std::vector<std::string>& args, const std::string& option) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option) {
            return args[i + 1];
        }
    }
    return {};
}

int build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string stubPath = optionValue(args, "--stub");
    const std::string manifestPath = optionValue(args, "--manifest");
    const std::string outPath = optionValue(args, "--out");
    if (stubPath.empty() || manifestPath.empty() || outPath.empty() || args.size() != 7) {
        err << "pkgtool build: needs --stub STUB.exe --manifest MANIFEST.json --out OUT.exe\n";
        return kUsage;
    }
    Manifest manifest;
    std::string error;
    if (!loadManifest(manifestPath, manifest, error)) {
        err << "pkgtool build: " << error << "\n";
        return kFault;
    }
    std::ifstream stubFile(stubPath, std::ios::binary);
    const Bytes stub((std::istreambuf_iterator<char>(stubFile)), std::istreambuf_iterator<char>());
    std::wstring stubWide;
    if (!stubFile || stub.empty() || !enginePath(stubPath, stubWide)) {
        err << "pkgtool build: cannot read the stub " << stubPath << "\n";
        return kFault;
    }
    if (imageEndOffset(stubWide) != stub.size()) {
        err << "pkgtool build: the stub " << stubPath
            << " is not an unsigned program image (a package after a certificate table cannot be found)\n";
        return kFault;
    }
    const Bytes unpacked = decompressedPackage(manifest.files);
    const Bytes member = gzipMember(unpacked);
    if (member.empty()) {
        err << "pkgtool build: compression failed\n";
        return kFault;
    }
    PackageTrailer trailer;
    trailer.productCode = manifest.productCode;
    trailer.upgradeCode = manifest.upgradeCode;
    trailer.magic = PACKAGE_MAGIC;
    trailer.productVersion = manifest.productVersion;
    trailer.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
    trailer.directoryOffset = static_cast<std::uint32_t>(unpacked.size() - manifest.files.size() * ENTRY_SIZE);
    trailer.packedSize = static_cast<std::uint32_t>(member.size());
    trailer.imeVersion = manifest.imeVersion;
    trailer.textServiceVersion = manifest.textServiceVersion;
    trailer.reserved = reservedDigest();
    const Bytes installer = installerBytes(stub, member, trailer);

    // Written beside the target and renamed, so that a failure leaves no partial installer.
    const fs::path partial = fs::path(outPath).concat(".partial");
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(installer.data()), static_cast<std::streamsize>(installer.size()));
        if (!file.flush()) {
            file.close();
            std::error_code ignored;
            fs::remove(partial, ignored);
            err << "pkgtool build: cannot write " << outPath << "\n";
            return kFault;
        }
    }
    std::error_code renamed;
    fs::rename(partial, outPath, renamed);
    if (renamed) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        err << "pkgtool build: cannot write " << outPath << "\n";
        return kFault;
    }
    out << "built " << outPath << ": " << manifest.files.size() << " entries, " << unpacked.size() << " bytes packed into "
        << member.size() << "\n";
    return 0;
}

bool readForCommand(const std::string& command, const std::vector<std::string>& args, InstallerPackage& package,
                    std::ostream& err) {
    std::wstring installer;
    if (args.size() != 2 || !enginePath(args[1], installer)) {
        err << "pkgtool " << command << ": needs INSTALLER.exe\n";
        return false;
    }
    std::string error;
    if (!readInstallerPackage(installer, package, error)) {
        err << "pkgtool " << command << ": " << args[1] << ": " << error << "\n";
        return false;
    }
    return true;
}

std::string nameText(const PackageEntry& entry) {
    std::wstring name;
    if (entryRelativePath(entry, name)) {
        return utf8FromWide(name);
    }
    return "(unsafe name)";
}

int list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    InstallerPackage package;
    if (!readForCommand("list", args, package, err)) {
        return kFault;
    }
    const PackageTrailer& t = package.trailer;
    out << "productCode         " << guidText(t.productCode) << "\n"
        << "upgradeCode         " << guidText(t.upgradeCode) << "\n"
        << "productVersion      " << versionText(t.productVersion) << "\n"
        << "imeVersion          " << versionText(t.imeVersion) << "\n"
        << "textServiceVersion  " << versionText(t.textServiceVersion) << "\n"
        << "member              offset " << package.memberOffset << ", " << t.packedSize << " bytes\n"
        << "trailer             offset " << package.trailerOffset << "\n"
        << "unpackedSize        " << t.unpackedSize << "\n"
        << "directoryOffset     " << t.directoryOffset << "\n"
        << "entries             " << package.entries.size() << "\n"
        << "kind verify       size md5                              name\n";
    for (const PackageEntry& entry : package.entries) {
        char fields[40];
        std::snprintf(fields, sizeof fields, "%4u %6u %10u ", unsigned{entry.kind}, entry.verify ? 1u : 0u,
                      static_cast<unsigned>(entry.size));
        out << fields << hexText(entry.md5.data(), entry.md5.size()) << " " << nameText(entry) << "\n";
    }
    return 0;
}

int verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    InstallerPackage package;
    if (!readForCommand("verify", args, package, err)) {
        return kFault;
    }
    const std::vector<std::string> faults = packageFaults(package);
    for (const std::string& fault : faults) {
        err << "pkgtool verify: " << args[1] << ": " << fault << "\n";
    }
    if (!faults.empty()) {
        return kFault;
    }
    out << args[1] << ": " << package.entries.size() << " entries, sound\n";
    return 0;
}

// Prints every progress percentage as the run reports it, and keeps the outcome it ends with.
class PrintingListener final : public EngineListener {
public:
    explicit PrintingListener(std::ostream& out) : out_(out) {}
    void engineMessage(int message, int wParam, int) override {
        if (message == WM_INSTALL_PROGRESS) {
            out_ << "progress " << wParam << "\n" << std::flush;
        } else if (message == WM_INSTALL_FAILURE) {
            outcome_ = static_cast<InstallResult>(wParam);
        }
    }
    InstallResult outcome() const { return outcome_; }

private:
    std::ostream& out_;
    InstallResult outcome_ = RESULT_OK;
};

int extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const bool withFacts = args.size() == 5 && args[3] == "--facts";
    if (args.size() != 3 && !withFacts) {
        err << "pkgtool extract: needs INSTALLER.exe DIR [--facts NAME]\n";
        return kUsage;
    }
    const std::string factsName = withFacts ? args[4] : "win7-x64";
    std::wstring installer;
    std::wstring root;
    platform::GivenSystemFacts facts;
    if (!enginePath(args[1], installer) || !enginePath(args[2], root) || !factsFor(factsName, root, installer, facts)) {
        err << "pkgtool extract: unknown facts \"" << factsName << "\" (see pkgtool --help)\n";
        return kUsage;
    }
    InstallerEngine engine;
    PrintingListener listener(out);
    engine.context().listener = &listener;
    platform::PosixDirectoryWalk files;
    engine.initialize(facts, files, nullptr);
    std::wstring installDirectory;
    engine.defaultInstallDirectory(installDirectory);
    out << "install directory " << utf8FromWide(installDirectory) << "\n";
    // The installer's own sequence, on its own worker as in the installer, with steps that only say what they
    // would do to Windows.
    DryRunSteps steps(out);
    const auto worker = startInstall(engine, installDirectory, steps);
    if (!worker) {
        err << "pkgtool extract: cannot start the install's worker\n";
        return kFault;
    }
    worker->wait();
    out << "result " << listener.outcome() << "\n";
    return listener.outcome();
}

}  // namespace

int runPkgtool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string command = args.empty() ? "" : args[0];
    if (command == "build") {
        return build(args, out, err);
    }
    if (command == "list") {
        return list(args, out, err);
    }
    if (command == "verify") {
        return verify(args, out, err);
    }
    if (command == "extract") {
        return extract(args, out, err);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        printHelp(out);
        return 0;
    }
    printHelp(err);
    return kUsage;
}

}  // namespace pkgtool
