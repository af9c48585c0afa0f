// Damaged installers run through the engine natively: each must end with a documented result (0 only where
// the damage does not matter), never crash or hang, and never write outside the root it installs into.
//
// Damage to the gzip member, the trailer and the executable's tail is made on the installer's bytes. Damage to
// the directory and the data area is made on the decompressed package, which is then compressed again: that is
// a package its builder could have written, which the member's CRC cannot catch.
#include "tests/unit/engine/EngineFixture.h"

#include "engine/ChangeJournal.h"
#include "engine/FilePlacement.h"
#include "engine/InstallerContext.h"
#include "engine/PackageFormat.h"
#include "engine/PayloadExtraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "platform/GivenSystemFacts.h"
#include "platform/posix/PosixDirectoryWalk.h"

namespace {

namespace fs = std::filesystem;
using enginetest::Bytes;
using enginetest::file;

// What a damaged installer may end with.
enum class Expect {
    Harmless,     // 0, and the very files of the undamaged installer
    NeverSilent,  // a documented failure, or 0 with the very files of the undamaged installer
    FormatCannotTell,  // the damage makes another well-formed package: any documented result
    Exactly,      // one documented code
};

struct Damage {
    std::string what;
    Bytes installer;
    Expect expect;
    InstallResult code = RESULT_OK;
};

struct Outcome {
    std::string step;
    InstallResult result = RESULT_OK;
    std::map<std::string, Bytes> files;  // every file below the root, by relative path
};

// The codes each step documents.
const std::map<std::string, std::set<InstallResult>>& documentedResults() {
    static const std::map<std::string, std::set<InstallResult>> codes = {
        {"locatePackage", {ERR_OPEN, ERR_TRAILER_READ, ERR_NO_TRAILER}},
        {"extractPayload", {ERR_OPEN, ERR_READ, ERR_WRITE, ERR_CREATE_DIRECTORY}},
        {"placeFiles", {ERR_OPEN, ERR_EMPTY_DIRECTORY, ERR_DIRECTORY_READ, ERR_ENTRY_CREATE, ERR_READ, ERR_WRITE,
                        ERR_CREATE_DIRECTORY}},
        {"verifyFiles", {ERR_VERIFY_OPEN, ERR_MD5_MISMATCH, ERR_MISSING_FILE}},
    };
    return codes;
}

// The installer the damage starts from: every kind the shipped package uses, subfolders, a 64-bit and a 32-bit
// module of the same name, an empty file, files with and without a digest check.
std::vector<pkgtool::PackageFile> packageFiles() {
    Bytes dictionary;
    for (int i = 0; i < 300; ++i) {
        const std::string word = "word" + std::to_string(i * 7919 % 1000) + "\t" + std::to_string(i) + "\n";
        dictionary.insert(dictionary.end(), word.begin(), word.end());
    }
    const std::string readme = "Zeln input method.\r\nSee the help for shortcuts.\r\n";
    return {
        file(L"ZelnIME\\dict\\base.dic", DEST_INSTALL, dictionary, true),
        file(L"ZelnIME\\readme.txt", DEST_INSTALL, Bytes(readme.begin(), readme.end())),
        file(L"ZelnIme.ime", DEST_SYSNATIVE, enginetest::noise(2500, 1), true),
        file(L"ZelnIme.ime", DEST_SYSTEM32, enginetest::noise(2400, 2), true),
        file(L"ZelnSans.ttf", DEST_FONTS, enginetest::noise(3000, 3)),
        file(L"ZelnIME\\user.dat", DEST_ROAMING, enginetest::noise(100, 4), true),
        file(L"ZelnIME\\empty.txt", DEST_INSTALL, Bytes()),
    };
}

// Offsets of the structures inside the undamaged installer and its decompressed package.
struct Layout {
    std::size_t imageEnd = 0;
    std::size_t memberEnd = 0;
    std::size_t trailerEnd = 0;
    std::size_t dataEnd = 0;  // directoryOffset in the decompressed package
    std::vector<std::size_t> entryDataStarts;
    std::size_t entries = 0;
    std::size_t entryAt(std::size_t i) const { return dataEnd + i * ENTRY_SIZE; }
};

void putU16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

Bytes flipped(Bytes bytes, std::size_t at, unsigned bit) {
    bytes[at] ^= static_cast<std::uint8_t>(1u << bit);
    return bytes;
}

Bytes truncated(const Bytes& bytes, std::size_t length) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

// A fixed pseudo-random sequence, the same on every run.
class Sequence {
public:
    std::uint32_t below(std::uint32_t bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33) % bound;
    }

private:
    std::uint64_t state_ = 2026;
};

// An installer around a decompressed package; the trailer's unpackedSize may differ from the package's length.
Bytes installerAround(const Bytes& unpacked, std::size_t directoryOffset, std::size_t unpackedSize) {
    const Bytes member = pkgtool::gzipMember(unpacked);
    PackageTrailer trailer = enginetest::trailerFor(unpacked, member, static_cast<std::uint32_t>(directoryOffset));
    trailer.unpackedSize = static_cast<std::uint32_t>(unpackedSize);
    return pkgtool::installerBytes(enginetest::programImage(false), member, trailer);
}

class CorruptionMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        const enginetest::Installer original = enginetest::makeInstaller(packageFiles());
        installer_ = original.bytes;
        unpacked_ = original.unpacked;
        layout_.imageEnd = enginetest::programImage(false).size();
        layout_.trailerEnd = installer_.size();
        layout_.memberEnd = layout_.trailerEnd - TRAILER_SIZE;
        layout_.dataEnd = original.trailer.directoryOffset;
        std::size_t at = 0;
        for (const auto& f : packageFiles()) {
            layout_.entryDataStarts.push_back(at);
            at += f.content.size();
        }
        layout_.entries = packageFiles().size();
        fs::create_directories(scratch_.path() / "cwd");
        ASSERT_EQ(chdir((scratch_.path() / "cwd").c_str()), 0);
        baseline_ = install(installer_);
        ASSERT_EQ(baseline_.result, RESULT_OK) << baseline_.step;
        ASSERT_EQ(baseline_.files.size(), packageFiles().size());
    }

    void TearDown() override { fs::current_path(startFolder_); }

    // Runs locatePackage, extractPayload, placeFiles and verifyFiles for a 64-bit Windows whose every
    // destination slot is a folder below "root", the executable beside it.
    Outcome install(const Bytes& installer) {
        std::error_code ignored;
        fs::remove_all(scratch_.path() / "root", ignored);
        for (std::size_t kind = 1; kind < DESTINATION_COUNT; ++kind) {
            fs::create_directories(enginetest::nativePath(slot(kind)));
        }
        enginetest::writeFile(scratch_.path() / "setup.exe", installer);
        Outcome outcome;
        InstallerContext context;
        context.modulePath = scratch_.engine(L"setup.exe");
        outcome.step = "locatePackage";
        outcome.result = locatePackage(context);
        if (outcome.result == RESULT_OK) {
            context.archCode = ARCH_X64;
            for (std::size_t kind = 1; kind < DESTINATION_COUNT; ++kind) {
                context.directories[kind] = slot(kind);
            }
            EXPECT_EQ(setInstallDirectory(context, slot(DEST_INSTALL)), RESULT_OK);
            platform::PosixDirectoryWalk files;
            platform::GivenSystemFacts facts;
            InstallLog log;
            ChangeJournal journal(files, facts, log);
            journal.begin(scratch_.engine(L"install.journal"));
            const std::pair<const char*, std::function<InstallResult(InstallerContext&)>> steps[] = {
                {"extractPayload", extractPayload},
                {"placeFiles", [&](InstallerContext& c) { return placeFiles(c, journal); }},
                {"verifyFiles", [](InstallerContext& c) { return verifyFiles(c); }},
            };
            for (const auto& [name, step] : steps) {
                outcome.step = name;
                outcome.result = step(context);
                if (outcome.result != RESULT_OK) {
                    break;
                }
            }
            // Nothing is undone here: what placement did before it stopped is what the matrix looks at.
            journal.commit();
        }
        expectNothingOutsideRoot(installer);
        outcome.files = filesBelowRoot();
        return outcome;
    }

    std::wstring slot(std::size_t kind) const { return scratch_.engine(L"root\\slot" + std::to_wstring(kind)); }

    void expectNothingOutsideRoot(const Bytes& installer) const {
        std::set<std::string> beside;
        for (const auto& item : fs::directory_iterator(scratch_.path())) {
            beside.insert(item.path().filename().string());
        }
        EXPECT_EQ(beside, (std::set<std::string>{"cwd", "root", "setup.exe"}));
        EXPECT_TRUE(fs::is_empty(scratch_.path() / "cwd"));
        EXPECT_EQ(enginetest::readFile(scratch_.path() / "setup.exe"), installer);
    }

    std::map<std::string, Bytes> filesBelowRoot() const {
        std::map<std::string, Bytes> files;
        const fs::path root = scratch_.path() / "root";
        for (const auto& item : fs::recursive_directory_iterator(root)) {
            if (item.is_regular_file()) {
                files[fs::relative(item.path(), root).string()] = enginetest::readFile(item.path());
            }
        }
        return files;
    }

    // Checks one damaged installer and counts its result.
    void check(const Damage& damage) {
        const Outcome outcome = install(damage.installer);
        ++counts_[outcome.result];
        ++cases_;
        const std::string where = damage.what + " (" + outcome.step + " gave " + std::to_string(outcome.result) + ")";
        if (outcome.result != RESULT_OK) {
            EXPECT_EQ(documentedResults().at(outcome.step).count(outcome.result), 1u) << where;
        }
        switch (damage.expect) {
        case Expect::Harmless:
            EXPECT_EQ(outcome.result, RESULT_OK) << where;
            EXPECT_TRUE(outcome.files == baseline_.files) << where;
            break;
        case Expect::NeverSilent:
            EXPECT_TRUE(outcome.result != RESULT_OK || outcome.files == baseline_.files) << where;
            break;
        case Expect::FormatCannotTell:
            break;
        case Expect::Exactly:
            EXPECT_EQ(outcome.result, damage.code) << where;
            break;
        }
    }

    void printCounts(const char* title) const {
        std::cout << title << ": " << cases_ << " damaged installers\n";
        for (const auto& [code, count] : counts_) {
            std::cout << "  result " << code << ": " << count << "\n";
        }
    }

    // Damage to the decompressed package, compressed again with a matching trailer.
    Damage repacked(std::string what, const Bytes& unpacked, Expect expect, InstallResult code = RESULT_OK) const {
        return {std::move(what), installerAround(unpacked, layout_.dataEnd, unpacked.size()), expect, code};
    }

    // The member cut short, with the trailer kept and packedSize telling the truth: the stream ends early.
    std::vector<Damage> memberCuts() const {
        std::vector<Damage> damages;
        const std::size_t memberLength = layout_.memberEnd - layout_.imageEnd;
        for (std::size_t cut = 10; cut < memberLength; cut += memberLength / 20) {
            Bytes shortened = truncated(installer_, layout_.imageEnd + cut);
            shortened.insert(shortened.end(), installer_.begin() + static_cast<std::ptrdiff_t>(layout_.memberEnd),
                             installer_.end());
            putU32(shortened, shortened.size() - TRAILER_SIZE + 60, static_cast<std::uint32_t>(cut));
            damages.push_back({"member cut to " + std::to_string(cut) + " bytes", shortened, Expect::NeverSilent});
        }
        return damages;
    }

    // The decompressed package cut at every entry's data and every directory record, while the trailer still
    // promises the whole package.
    std::vector<Damage> packageCuts() const {
        std::vector<std::size_t> cuts = layout_.entryDataStarts;
        for (std::size_t i = 0; i < layout_.entries; ++i) {
            cuts.push_back(layout_.entryAt(i));
        }
        cuts.push_back(unpacked_.size() - 1);
        std::vector<Damage> damages;
        for (const std::size_t cut : cuts) {
            damages.push_back({"package cut at " + std::to_string(cut),
                               installerAround(truncated(unpacked_, cut), layout_.dataEnd, unpacked_.size()),
                               Expect::NeverSilent});
        }
        return damages;
    }

    // Damage to one directory record and to its data: the fields nobody reads, kinds out of the table and
    // other kinds, the verify flag, the digest, the data.
    std::vector<Damage> recordDamages(std::size_t i) const {
        const std::size_t entry = layout_.entryAt(i);
        const std::string name = "entry " + std::to_string(i) + " ";
        const bool verified = packageFiles()[i].verify;
        std::vector<Damage> damages;
        for (unsigned bit = 0; bit < 32; bit += 8) {
            damages.push_back(repacked(name + "size2 bit " + std::to_string(bit),
                                       flipped(unpacked_, entry + 544 + bit / 8, bit % 8), Expect::Harmless));
        }
        for (const std::uint16_t kind : {10, 11, 0x8000, 0xFFFF}) {
            Bytes damaged = unpacked_;
            putU16(damaged, entry + 536, kind);
            damages.push_back(repacked(name + "kind " + std::to_string(kind), damaged, Expect::Exactly,
                                       ERR_DIRECTORY_READ));
        }
        for (const std::uint16_t kind : {DEST_FONTS, DEST_LOCAL}) {
            Bytes damaged = unpacked_;
            putU16(damaged, entry + 536, kind);
            damages.push_back(repacked(name + "kind " + std::to_string(kind), damaged, Expect::FormatCannotTell));
        }
        Bytes verifyToggled = unpacked_;
        putU16(verifyToggled, entry + 538, verified ? 0 : 1);
        damages.push_back(repacked(name + "verify toggled", verifyToggled, Expect::Harmless));
        for (const unsigned bit : {0u, 127u}) {
            damages.push_back(repacked(name + "md5 bit " + std::to_string(bit),
                                       flipped(unpacked_, entry + 520 + bit / 8, bit % 8),
                                       verified ? Expect::Exactly : Expect::Harmless, ERR_MD5_MISMATCH));
        }
        const std::size_t length = packageFiles()[i].content.size();
        for (const std::size_t at : {std::size_t{0}, length / 2}) {
            if (length > 0) {
                damages.push_back(repacked(name + "data byte " + std::to_string(at),
                                           flipped(unpacked_, layout_.entryDataStarts[i] + at, 3),
                                           verified ? Expect::Exactly : Expect::FormatCannotTell,
                                           ERR_MD5_MISMATCH));
            }
        }
        return damages;
    }

    // Names the engine must refuse before it writes anything, a name that is merely another name, and
    // garbage after the terminator, which nobody reads.
    std::vector<Damage> nameDamages(std::size_t i) const {
        const std::size_t entry = layout_.entryAt(i);
        const std::string label = "entry " + std::to_string(i) + " name ";
        const std::vector<std::pair<std::string, std::u16string>> refused = {
            {"with a slash", u"ZelnIME/evil.txt"},
            {"with a drive", u"C:\\evil.txt"},
            {"climbing out", u"..\\..\\evil.txt"},
            {"a dot folder", u".\\evil.txt"},
            {"rooted", u"\\evil.txt"},
            {"with an empty folder", u"ZelnIME\\\\evil.txt"},
            {"ending in a dot", u"ZelnIME\\evil."},
            {"ending in a space", u"ZelnIME\\evil "},
            {"with a control character", u"evil\x01.txt"},
            {"with a lone surrogate", u"\xD800" u"evil.txt"},
            {"naming the store", u"ZelnIME\\INSTALLER.DAT"},
            {"empty", u""},
        };
        std::vector<Damage> damages;
        for (const auto& [what, text] : refused) {
            Bytes damaged = unpacked_;
            std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(entry),
                      damaged.begin() + static_cast<std::ptrdiff_t>(entry + 2 * PATH_UNITS), 0);
            for (std::size_t u = 0; u < text.size(); ++u) {
                putU16(damaged, entry + 2 * u, static_cast<std::uint16_t>(text[u]));
            }
            damages.push_back(repacked(label + what, damaged, Expect::Exactly, ERR_DIRECTORY_READ));
        }
        Bytes unterminated = unpacked_;
        for (std::size_t u = 0; u < PATH_UNITS; ++u) {
            putU16(unterminated, entry + 2 * u, u'a');
        }
        damages.push_back(repacked(label + "without a terminator", unterminated, Expect::Exactly, ERR_DIRECTORY_READ));
        // Single bits of the first units: another name, or one refused (a control character).
        for (const unsigned bit : {0u, 5u, 6u, 13u, 15u, 16u + 14u, 32u + 4u}) {
            damages.push_back(repacked(label + "bit " + std::to_string(bit),
                                       flipped(unpacked_, entry + bit / 8, bit % 8), Expect::FormatCannotTell));
        }
        Bytes renamed = unpacked_;
        putU16(renamed, entry, u'Y');
        damages.push_back(repacked(label + "renamed", renamed, Expect::FormatCannotTell));
        Bytes padded = unpacked_;
        putU16(padded, entry + 2 * (PATH_UNITS - 2), u'x');
        damages.push_back(repacked(label + "with garbage after its terminator", padded, Expect::Harmless));
        return damages;
    }

    enginetest::ScratchDir scratch_;
    fs::path startFolder_ = fs::current_path();
    Bytes installer_;
    Bytes unpacked_;
    Layout layout_;
    Outcome baseline_;
    std::map<InstallResult, std::size_t> counts_;
    std::size_t cases_ = 0;
};

std::vector<Damage> truncations(const Bytes& installer, const Layout& layout) {
    std::vector<std::size_t> cuts = {0, 1, 63, 64, layout.imageEnd - 1, layout.imageEnd};
    for (std::size_t gzipHeader = 1; gzipHeader <= 10; ++gzipHeader) {
        cuts.push_back(layout.imageEnd + gzipHeader);
    }
    for (const std::size_t footer : {8, 4, 0}) {
        cuts.push_back(layout.memberEnd - footer);
    }
    for (const std::size_t field : {16, 32, 36, 52, 56, 60, 64, 80, 96, 111}) {
        cuts.push_back(layout.memberEnd + field);
    }
    Sequence random;
    for (int i = 0; i < 100; ++i) {
        cuts.push_back(random.below(static_cast<std::uint32_t>(installer.size())));
    }
    std::vector<Damage> damages;
    for (const std::size_t cut : cuts) {
        damages.push_back({"installer cut at " + std::to_string(cut), truncated(installer, cut), Expect::NeverSilent});
    }
    return damages;
}

std::vector<Damage> memberFlips(const Bytes& installer, const Layout& layout) {
    std::vector<Damage> damages;
    // Header: ID1 ID2 CM FLG MTIME(4) XFL OS. FTEXT, the time, XFL and OS change nothing that is read.
    for (std::size_t at = 0; at < 10; ++at) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            const bool unread = (at == 3 && bit == 0) || at >= 4;
            damages.push_back({"gzip header byte " + std::to_string(at) + " bit " + std::to_string(bit),
                               flipped(installer, layout.imageEnd + at, bit),
                               unread ? Expect::Harmless : Expect::NeverSilent});
        }
    }
    // Deflate data, except its last byte, whose high bits may be padding after the final block.
    const std::size_t dataStart = layout.imageEnd + 10;
    const std::size_t dataLength = layout.memberEnd - 8 - 1 - dataStart;
    Sequence random;
    for (int i = 0; i < 120; ++i) {
        const std::size_t at = dataStart + random.below(static_cast<std::uint32_t>(dataLength));
        const unsigned bit = random.below(8);
        damages.push_back({"deflate data byte " + std::to_string(at) + " bit " + std::to_string(bit),
                           flipped(installer, at, bit), Expect::NeverSilent});
    }
    // CRC32 and ISIZE: the reader checks both at the end of the member.
    for (std::size_t at = layout.memberEnd - 8; at < layout.memberEnd; ++at) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            damages.push_back({"gzip footer byte " + std::to_string(at) + " bit " + std::to_string(bit),
                               flipped(installer, at, bit), Expect::Exactly, ERR_WRITE});
        }
    }
    return damages;
}

std::vector<Damage> trailerFlips(const Bytes& installer, const Layout& layout) {
    std::vector<Damage> damages;
    for (std::size_t field = 0; field < TRAILER_SIZE; ++field) {
        // magic, unpackedSize, directoryOffset and packedSize are read; the rest is for other steps or nobody.
        const bool read = (field >= 32 && field < 36) || (field >= 52 && field < 64);
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (!read && bit != field % 8) {
                continue;
            }
            damages.push_back({"trailer byte " + std::to_string(field) + " bit " + std::to_string(bit),
                               flipped(installer, layout.memberEnd + field, bit),
                               read ? Expect::NeverSilent : Expect::Harmless});
        }
    }
    return damages;
}

TEST_F(CorruptionMatrix, EveryDamagedInstallerEndsWithADocumentedResultInsideItsRoot) {
    std::vector<std::vector<Damage>> families = {truncations(installer_, layout_), memberFlips(installer_, layout_),
                                                 trailerFlips(installer_, layout_), memberCuts(), packageCuts()};
    for (std::size_t i = 0; i < layout_.entries; ++i) {
        families.push_back(recordDamages(i));
        families.push_back(nameDamages(i));
    }
    for (const auto& family : families) {
        for (const Damage& damage : family) {
            check(damage);
        }
    }
    printCounts("corruption matrix");
    EXPECT_GE(cases_, 500u);
}

// Entry sizes that no longer add up to the data area shift every later entry's data: each file must then be
// refused, not placed with its neighbour's bytes.
TEST_F(CorruptionMatrix, EntrySizesThatDoNotAddUpAreNeverPlacedSilently) {
    for (std::size_t i = 0; i < layout_.entries; ++i) {
        for (unsigned bit = 0; bit < 32; ++bit) {
            check(repacked("entry " + std::to_string(i) + " size bit " + std::to_string(bit),
                           flipped(unpacked_, layout_.entryAt(i) + 540 + bit / 8, bit % 8), Expect::NeverSilent));
        }
    }
    printCounts("entry sizes");
}

}  // namespace
