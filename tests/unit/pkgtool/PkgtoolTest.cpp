// pkgtool from the installer maker's side: build from a manifest, then list, verify and extract; manifest
// faults; malformed installers; and installers signed after they were built.
#include "engine/Md5.h"
#include "engine/PackageFormat.h"
#include "tools/pkgtool/Commands.h"
#include "tools/pkgtool/PackageWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using pkgtool::Bytes;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t u32At(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

// Every file below a folder, relative to it.
std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_directory()) {
            found.insert(fs::relative(item.path(), root).string());
        }
    }
    return found;
}

// Text that does not compress, so that the member spans many copy chunks.
std::string incompressible(std::size_t length) {
    std::string text(length, ' ');
    std::uint32_t state = 12345;
    for (char& c : text) {
        state = state * 1103515245 + 12345;
        c = static_cast<char>('!' + (state >> 16) % 90);
    }
    return text;
}

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun pkgtool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = pkgtool::runPkgtool(args, out, err);
    return {status, out.str(), err.str()};
}

constexpr char kManifest[] = R"({
  "productCode": "{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}",
  "upgradeCode": "{d4de9a45-5f90-44fc-bf02-33b480255bd1}",
  "productVersion": "7.27.1.0",
  "imeVersion": "7.27.1.0",
  "textServiceVersion": "1.3.10.0",
  "files": [
    { "source": "payload/tool.exe", "name": "bin\\tool.exe", "kind": 0, "verify": true },
    { "source": "payload/ime64.ime", "name": "ZelnIme.ime", "kind": 1, "verify": false },
    { "source": "payload/ime32.ime", "name": "ZelnIme.ime", "kind": 2, "verify": true },
    { "source": "payload/font.ttf", "name": "ᠮᠣᠩᠭᠣᠯ.ttf", "kind": 3, "verify": true },
    { "source": "payload/empty.txt", "name": "doc\\v1.2\\empty.txt", "kind": 0, "verify": false },
    { "source": "payload/user.dic", "name": "Zelnsoft\\user.dic", "kind": 6, "verify": false }
  ]
})";

class Pkgtool : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zeln-pkgtool-XXXXXX").string();
        root = mkdtemp(pattern.data());
        writeFile(root / "manifest.json", kManifest);
        writeFile(root / "payload" / "tool.exe", incompressible(70000) + "end");
        writeFile(root / "payload" / "ime64.ime", "sixty-four");
        writeFile(root / "payload" / "ime32.ime", "thirty-two");
        writeFile(root / "payload" / "font.ttf", std::string(3000, 'f'));
        writeFile(root / "payload" / "empty.txt", "");
        writeFile(root / "payload" / "user.dic", "dictionary");
    }
    void TearDown() override { fs::remove_all(root); }

    ToolRun buildInstaller(const std::string& out = "setup.exe", const std::string& stub = ZELN_STUB64) {
        return pkgtool({"build", "--stub", stub, "--manifest", (root / "manifest.json").string(), "--out",
                        (root / out).string()});
    }
    ToolRun extract(const std::string& facts, const std::string& installer = "setup.exe") {
        return pkgtool({"extract", (root / installer).string(), (root / ("out-" + facts)).string(), "--facts", facts});
    }
    fs::path drive(const std::string& facts) const { return root / ("out-" + facts) / "C"; }

    fs::path root;
};

TEST_F(Pkgtool, BuildWritesTheGzipMemberAndTrailerAsSpecified) {
    const ToolRun built = buildInstaller();
    ASSERT_EQ(0, built.status) << built.err;
    const Bytes stub = readFile(ZELN_STUB64);
    const Bytes installer = readFile(root / "setup.exe");
    ASSERT_GT(installer.size(), stub.size() + TRAILER_SIZE);
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), installer.begin()));
    // gzip header: magic, deflate, flags 0, modification time 0, extra flags, OS byte 11.
    const std::size_t member = stub.size();
    EXPECT_EQ((Bytes{0x1f, 0x8b, 8, 0, 0, 0, 0, 0}), Bytes(installer.begin() + member, installer.begin() + member + 8));
    EXPECT_EQ(11, installer[member + 9]);
    TrailerBytes raw{};
    std::copy(installer.end() - TRAILER_SIZE, installer.end(), raw.begin());
    const PackageTrailer trailer = decodeTrailer(raw);
    EXPECT_EQ(PACKAGE_MAGIC, trailer.magic);
    EXPECT_EQ(installer.size() - TRAILER_SIZE - member, trailer.packedSize);
    EXPECT_EQ(trailer.unpackedSize, u32At(installer, installer.size() - TRAILER_SIZE - 4));  // ISIZE
    EXPECT_EQ(70003u + 10 + 10 + 3000 + 0 + 10, trailer.directoryOffset);
    EXPECT_EQ(trailer.directoryOffset + 6 * ENTRY_SIZE, trailer.unpackedSize);
    EXPECT_EQ(md5Of(nullptr, 0), trailer.reserved);
    EXPECT_EQ((PackageVersion{1, 3, 10, 0}), trailer.textServiceVersion);
    EXPECT_EQ(0xD4DE9A45u, trailer.upgradeCode.data1);
    EXPECT_EQ(0xD1, trailer.upgradeCode.data4[7]);

    ASSERT_EQ(0, buildInstaller("again.exe").status);
    EXPECT_EQ(installer, readFile(root / "again.exe"));
}

TEST_F(Pkgtool, ListShowsTheTrailerAndEveryEntryAndVerifyPasses) {
    ASSERT_EQ(0, buildInstaller().status);
    const ToolRun listed = pkgtool({"list", (root / "setup.exe").string()});
    ASSERT_EQ(0, listed.status) << listed.err;
    EXPECT_NE(std::string::npos, listed.out.find("{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}"));
    EXPECT_NE(std::string::npos, listed.out.find("{D4DE9A45-5F90-44FC-BF02-33B480255BD1}"));
    EXPECT_NE(std::string::npos, listed.out.find("productVersion      7.27.1.0"));
    EXPECT_NE(std::string::npos, listed.out.find("entries             6"));
    EXPECT_NE(std::string::npos, listed.out.find("   3      1       3000 "));
    EXPECT_NE(std::string::npos, listed.out.find("ᠮᠣᠩᠭᠣᠯ.ttf"));
    EXPECT_NE(std::string::npos, listed.out.find("d41d8cd98f00b204e9800998ecf8427e doc\\v1.2\\empty.txt"));

    const ToolRun verified = pkgtool({"verify", (root / "setup.exe").string()});
    EXPECT_EQ(0, verified.status) << verified.err;
}

TEST_F(Pkgtool, ExtractPlacesEveryFileForA64BitMachineAndPrintsProgress) {
    ASSERT_EQ(0, buildInstaller().status);
    const ToolRun run = extract("win7-x64");
    ASSERT_EQ(0, run.status) << run.out << run.err;
    const fs::path c = drive("win7-x64");
    EXPECT_EQ(70003u, fs::file_size(c / "Program Files (x86)" / "Zelnsoft" / "bin" / "tool.exe"));
    EXPECT_EQ("sixty-four", std::string(std::istreambuf_iterator<char>(
                                            *std::make_unique<std::ifstream>(c / "Windows" / "Sysnative" / "ZelnIme.ime")),
                                        {}));
    EXPECT_TRUE(fs::exists(c / "Windows" / "System32" / "ZelnIme.ime"));
    EXPECT_TRUE(fs::exists(c / "Windows" / "Fonts" / "ᠮᠣᠩᠭᠣᠯ.ttf"));
    EXPECT_TRUE(fs::exists(c / "Program Files (x86)" / "Zelnsoft" / "doc" / "v1.2" / "empty.txt"));
    EXPECT_TRUE(fs::exists(c / "Users" / "user" / "AppData" / "Roaming" / "Zelnsoft" / "user.dic"));
    EXPECT_FALSE(fs::exists(c / "Program Files (x86)" / "Zelnsoft" / "tmp"));
    // The installer's own sequence: every step that would change Windows named in its place, every percentage
    // of extraction (6 to 44) and placement (56 to 94) in between.
    std::istringstream lines(run.out);
    std::vector<std::string> outline;
    std::vector<int> copying;
    for (std::string line; std::getline(lines, line);) {
        const int percent = line.rfind("progress ", 0) == 0 ? std::stoi(line.substr(9)) : 0;
        if ((percent > 5 && percent < 45) || (percent > 55 && percent < 95)) {
            copying.push_back(percent);
        } else {
            outline.push_back(line);
        }
    }
    ASSERT_FALSE(outline.empty());
    const std::string installLine = outline.front();
    EXPECT_EQ(0u, installLine.rfind("install directory " + (root / "out-win7-x64").string(), 0)) << installLine;
    const std::string folder = "\\C\\Program Files (x86)\\Zelnsoft";
    EXPECT_EQ(installLine.size() - folder.size(), installLine.find(folder));
    outline.erase(outline.begin());
    const std::vector<std::string> expected = {
        "would stop the input method's running services",
        "progress 1",
        "would tell running input-method instances that the install begins",
        "progress 2",
        "would take out of the system folders every IME module but version 7.27.1.0 and every text-service "
        "module but version 1.3.10.0",
        "progress 5",
        "progress 45",
        "would remove the installed edition",
        "progress 50",
        "would remove earlier editions",
        "progress 55",
        "progress 95",
        "progress 97",
        "would register the fonts, the application keys, the keyboard layouts, the text service and the EUDC link",
        "would write the product registration",
        "would write the uninstall entry",
        "progress 98",
        "would tell running input-method instances that the files are in place",
        "progress 100",
        "result 0"};
    EXPECT_EQ(expected, outline);
    ASSERT_FALSE(copying.empty());
    EXPECT_EQ(6, copying.front());
    EXPECT_TRUE(std::is_sorted(copying.begin(), copying.end()));
    EXPECT_NE(copying.end(), std::find(copying.begin(), copying.end(), 25));
    EXPECT_FALSE(fs::exists(c / "Users" / "user" / "AppData" / "Roaming" / "ins.log")) << "a success deletes its log";
}

TEST_F(Pkgtool, ExtractForOtherMachines) {
    ASSERT_EQ(0, buildInstaller().status);
    for (const std::string facts : {"win8-x86", "xp-x86"}) {
        const ToolRun run = extract(facts);
        ASSERT_EQ(0, run.status) << facts << run.out << run.err;
        const fs::path c = drive(facts);
        EXPECT_EQ("thirty-two", std::string(std::istreambuf_iterator<char>(
                                                *std::make_unique<std::ifstream>(c / "Windows" / "System32" / "ZelnIme.ime")),
                                            {}));
        EXPECT_FALSE(fs::exists(c / "Windows" / "Sysnative"));
        EXPECT_TRUE(fs::exists(c / "Program Files" / "Zelnsoft" / "bin" / "tool.exe"));
        // The 64-bit module was overwritten in the temporary folder by its 32-bit twin, so nothing is left.
        EXPECT_FALSE(fs::exists(c / "Program Files" / "Zelnsoft" / "tmp"));
    }
    ASSERT_EQ(0, extract("win10-x64").status);
    EXPECT_TRUE(fs::exists(drive("win10-x64") / "Windows" / "Sysnative" / "ZelnIme.ime"));

    const ToolRun server = extract("server2012r2-x64");
    EXPECT_EQ(ERR_CREATE_DIRECTORY, server.status);
    EXPECT_NE(std::string::npos, server.out.find("result 14"));

    const ToolRun unknown = extract("win95");
    EXPECT_EQ(2, unknown.status);
    EXPECT_NE(std::string::npos, unknown.err.find("win95"));
}

TEST_F(Pkgtool, ExitStatusOfTheProgramIsTheResult) {
    writeBytes(root / "plain.exe", readFile(ZELN_STUB64));
    const std::string command = std::string(ZELN_PKGTOOL) + " extract " + (root / "plain.exe").string() + " " +
                                (root / "out").string() + " >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(ERR_NO_TRAILER, WEXITSTATUS(status));
}

TEST_F(Pkgtool, ManifestFaultsNameTheEntryAndLeaveNoOutput) {
    const std::string good = kManifest;
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::pair<std::string, std::string> faults[] = {
        {"{ not json", "not a JSON object"},
        {replaced("\"productCode\"", "\"productKode\""), "\"productCode\" is missing"},
        {replaced("{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}", "BCC8E95D-5517-4B72-A87D-8ADE002BC46D"), "braced GUID"},
        {replaced("\"7.27.1.0\"", "\"7.27.1\""), "productVersion"},
        {replaced("\"kind\": 3", "\"kind\": 10"), "files[3] \"ᠮᠣᠩᠭᠣᠯ.ttf\": unknown kind 10"},
        {replaced("\"kind\": 3", "\"kind\": \"3\""), "files[3]"},
        {replaced("\"verify\": true }", "\"verify\": 1 }"), "files[0] \"bin\\tool.exe\": \"verify\""},
        {replaced("payload/user.dic", "payload/absent.dic"), "files[5] \"Zelnsoft\\user.dic\": cannot read source"},
        {replaced("payload/user.dic", "payload"), "files[5]"},
        {replaced("\"bin\\\\tool.exe\"", "\"..\\\\tool.exe\""), "files[0] \"..\\tool.exe\": the installer would refuse"},
        {replaced("\"bin\\\\tool.exe\"", "\"C:\\\\tool.exe\""), "files[0]"},
        {replaced("\"bin\\\\tool.exe\"", "\"bin/tool.exe\""), "files[0]"},
        {replaced("\"bin\\\\tool.exe\"", "\"installer.dat\""), "files[0]"},
        {replaced("\"doc\\\\v1.2\\\\empty.txt\"", "\"BIN\\\\Tool.exe\""), "files[4] \"BIN\\Tool.exe\": another entry"},
        {replaced("\"source\": \"payload/font.ttf\", ", ""), "files[3] \"ᠮᠣᠩᠭᠣᠯ.ttf\": \"source\""},
    };
    for (const auto& [manifest, message] : faults) {
        writeFile(root / "manifest.json", manifest);
        const ToolRun run = buildInstaller();
        EXPECT_NE(0, run.status) << message;
        EXPECT_NE(std::string::npos, run.err.find(message)) << run.err;
        EXPECT_FALSE(fs::exists(root / "setup.exe")) << message;
        EXPECT_FALSE(fs::exists(root / "setup.exe.partial")) << message;
    }
    // The same name for two different destinations is fine.
    writeFile(root / "manifest.json", good);
    EXPECT_EQ(0, buildInstaller().status);
}

TEST_F(Pkgtool, SignedOrMissingStubIsRefused) {
    Bytes signedStub = readFile(ZELN_STUB64);
    const std::uint32_t optional = u32At(signedStub, 60) + 24;
    signedStub[optional + 144] = 0x10;  // a certificate table at 0x10
    writeBytes(root / "signed-stub.exe", signedStub);
    EXPECT_NE(0, buildInstaller("setup.exe", (root / "signed-stub.exe").string()).status);
    EXPECT_NE(0, buildInstaller("setup.exe", (root / "absent.exe").string()).status);
    EXPECT_FALSE(fs::exists(root / "setup.exe"));
}

// Installers with hand-made faults: the result code, and no file anywhere but below DIR.
class Malformed : public Pkgtool {
protected:
    ToolRun extractRaw(const Bytes& unpacked, const PackageTrailer& trailer) {
        const Bytes member = pkgtool::gzipMember(unpacked);
        PackageTrailer t = trailer;
        t.magic = PACKAGE_MAGIC;
        t.packedSize = static_cast<std::uint32_t>(member.size());
        writeBytes(root / "bad.exe", pkgtool::installerBytes(readFile(ZELN_STUB64), member, t));
        const std::set<std::string> before = filesBelow(root);
        const ToolRun run = pkgtool({"extract", (root / "bad.exe").string(), (root / "dir").string()});
        std::set<std::string> after;
        for (const std::string& name : filesBelow(root)) {
            if (name.rfind("dir/", 0) != 0) {
                after.insert(name);
            }
        }
        EXPECT_EQ(before, after);
        return run;
    }
    static PackageEntry entry(const std::u16string& name, DestinationKind kind, std::uint32_t size) {
        return pkgtool::rawEntry(name, kind, size);
    }
};

TEST_F(Malformed, UnsafeNamesEscapingDirAreRefusedWith8) {
    for (const std::u16string& name : {std::u16string(u"..\\..\\..\\escaped.txt"), std::u16string(u"\\escaped.txt"),
                                       std::u16string(u"a/../../escaped.txt")}) {
        const Bytes data(4, 'x');
        const Bytes unpacked = pkgtool::decompressedPackage({entry(name, DEST_INSTALL, 4)}, data);
        PackageTrailer t;
        t.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
        t.directoryOffset = 4;
        const ToolRun run = extractRaw(unpacked, t);
        EXPECT_EQ(ERR_DIRECTORY_READ, run.status);
        EXPECT_NE(std::string::npos, run.out.find("result 8"));
        const ToolRun checked = pkgtool({"verify", (root / "bad.exe").string()});
        EXPECT_NE(0, checked.status);
        EXPECT_NE(std::string::npos, checked.err.find("would refuse"));
    }
}

TEST_F(Malformed, BrokenDirectoriesAndMembers) {
    const Bytes data(10, 'x');
    const Bytes unpacked = pkgtool::decompressedPackage({entry(u"a.txt", DEST_INSTALL, 10)}, data);
    PackageTrailer t;
    t.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
    t.directoryOffset = t.unpackedSize + 1;
    EXPECT_EQ(ERR_EMPTY_DIRECTORY, extractRaw(unpacked, t).status);
    t.directoryOffset = 6;
    EXPECT_EQ(ERR_DIRECTORY_READ, extractRaw(unpacked, t).status);
    EXPECT_NE(0, pkgtool({"verify", (root / "bad.exe").string()}).status);
    t.directoryOffset = 10;
    t.unpackedSize += 100000;  // a directory longer than the package holds
    EXPECT_EQ(ERR_DIRECTORY_READ, extractRaw(unpacked, t).status);
    const ToolRun verified = pkgtool({"verify", (root / "bad.exe").string()});
    EXPECT_NE(std::string::npos, verified.err.find("differs from unpackedSize")) << verified.err;

    PackageTrailer huge;
    huge.magic = PACKAGE_MAGIC;
    huge.packedSize = 0xFFFFFF00;
    writeBytes(root / "huge.exe", pkgtool::installerBytes(readFile(ZELN_STUB64), {}, huge));
    const ToolRun listedHuge = pkgtool({"list", (root / "huge.exe").string()});
    EXPECT_NE(std::string::npos, listedHuge.err.find("larger than all that precedes the trailer")) << listedHuge.err;
    EXPECT_EQ(ERR_READ, pkgtool({"extract", (root / "huge.exe").string(), (root / "dir").string()}).status);

    writeBytes(root / "plain.exe", readFile(ZELN_STUB32));
    EXPECT_EQ(ERR_NO_TRAILER, pkgtool({"extract", (root / "plain.exe").string(), (root / "dir").string()}).status);
    EXPECT_NE(0, pkgtool({"list", (root / "plain.exe").string()}).status);
}

TEST_F(Malformed, WrongDigestIsFoundByVerifyAndByTheInstallerWhenAskedFor) {
    PackageEntry e = entry(u"a.txt", DEST_FONTS, 10);
    e.verify = 1;
    const Bytes unpacked = pkgtool::decompressedPackage({e}, Bytes(10, 'x'));
    PackageTrailer t;
    t.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
    t.directoryOffset = 10;
    EXPECT_EQ(ERR_MD5_MISMATCH, extractRaw(unpacked, t).status);
    const ToolRun verified = pkgtool({"verify", (root / "bad.exe").string()});
    EXPECT_NE(std::string::npos, verified.err.find("entry 0: MD5 ")) << verified.err;
}

TEST_F(Pkgtool, InstallerSignedAfterwardsIsStillFound) {
    if (std::string(ZELN_OSSLSIGNCODE).empty() || std::string(ZELN_OPENSSL).empty()) {
        GTEST_SKIP() << "osslsigncode or openssl missing";
    }
    for (const char* stub : {ZELN_STUB64, ZELN_STUB32}) {
        ASSERT_EQ(0, buildInstaller("setup.exe", stub).status);
        const std::string cert = (root / "cert.pem").string(), key = (root / "key.pem").string();
        const std::string make = std::string(ZELN_OPENSSL) + " req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=test" +
                                 " -keyout " + key + " -out " + cert + " >/dev/null 2>&1";
        ASSERT_EQ(0, std::system(make.c_str()));
        const std::string sign = std::string(ZELN_OSSLSIGNCODE) + " sign -certs " + cert + " -key " + key + " -in " +
                                 (root / "setup.exe").string() + " -out " + (root / "signed.exe").string() +
                                 " >/dev/null 2>&1";
        fs::remove(root / "signed.exe");
        ASSERT_EQ(0, std::system(sign.c_str()));

        const Bytes unsignedBytes = readFile(root / "setup.exe");
        const std::uint32_t table = imageEndOffset((root / "signed.exe").wstring());
        ASSERT_GE(table, unsignedBytes.size());
        // The signer pads the file to an 8-byte boundary before its table: the trailer ends that padding earlier.
        EXPECT_LT(table - unsignedBytes.size(), 8u);
        EXPECT_EQ(0u, table % 8);

        const ToolRun listed = pkgtool({"list", (root / "signed.exe").string()});
        ASSERT_EQ(0, listed.status) << listed.err;
        EXPECT_NE(std::string::npos,
                  listed.out.find("trailer             offset " + std::to_string(unsignedBytes.size() - TRAILER_SIZE)));
        EXPECT_EQ(0, pkgtool({"verify", (root / "signed.exe").string()}).status);
        fs::remove_all(root / "out-win7-x64");
        const ToolRun extracted = extract("win7-x64", "signed.exe");
        EXPECT_EQ(0, extracted.status) << extracted.out;
        EXPECT_TRUE(fs::exists(drive("win7-x64") / "Windows" / "Fonts" / "ᠮᠣᠩᠭᠣᠯ.ttf"));
    }
}

}  // namespace
