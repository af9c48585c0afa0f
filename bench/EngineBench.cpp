// The engine benchmark. `pkgtool extract` of a synthetic package of the shipped package's shape (the engine's
// own extraction, placement and verification) against two floors measured in the same run, with large plain
// reads and writes:
//   - the passes the package format requires: the gzip member copied out, inflated into the unpacked store,
//     the store copied into the same 74 files, each file read back for its digest. The goal is on this ratio:
//     it is the engine's own overhead;
//   - a single pass, the least any extractor does: the member copied out, inflated straight into the files.
//     Its ratio is printed as information (the format's store and digests cost what they cost).
// Each side runs in a child process; the figures are ratios of the medians. Peak resident memory of the engine
// is measured on the same package and on one grown past 500 MB: nothing may hold the package in memory, so it
// must stay flat. Every figure is printed before the exit status tells whether a goal was missed.
//
//   bench_engine                          the benchmark; exit status 1 when a goal is missed
//   bench_engine --write-installer PATH   only writes the synthetic installer (for a profiler run)
#include "bench/SyntheticPackage.h"
#include "engine/Md5.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 7;
constexpr double kRatioGoal = 1.15;
constexpr long kFlatGoalKiB = 1024;
constexpr unsigned kLargeScale = 23;  // 23 x 22.35 MB: a 514 MB package
constexpr std::size_t kFloorBuffer = 1 << 16;

struct ChildRun {
    double seconds = 0;
    long maxResidentKiB = 0;
    bool succeeded = false;
};

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs body in a child process; its time from fork to exit, and its own peak resident memory.
ChildRun inChild(const std::function<int()>& body) {
    ChildRun run;
    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    rusage usage{};
    const bool waited = child > 0 && wait4(child, &status, 0, &usage) == child;
    run.seconds = now() - start;
    run.maxResidentKiB = usage.ru_maxrss;
    run.succeeded = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// pkgtool extract INSTALLER DIR, its progress lines sent to /dev/null.
ChildRun engineRun(const std::string& installer, const std::string& dir) {
    return inChild([&] {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        execl(ZELN_PKGTOOL, "pkgtool", "extract", installer.c_str(), dir.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

std::string nativeName(const std::wstring& name) {
    std::string out;
    for (const wchar_t c : name) {
        out += c == L'\\' ? '/' : static_cast<char>(c);
    }
    return out;
}

// A file descriptor closed when it goes out of scope.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : fd_(fd) {}
    ~ScopedFd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A gzip reader closed when it goes out of scope.
class ScopedGzip {
public:
    explicit ScopedGzip(const std::string& path) : file_(gzopen(path.c_str(), "rb")) {}
    ~ScopedGzip() {
        if (file_) {
            gzclose(file_);
        }
    }
    ScopedGzip(const ScopedGzip&) = delete;
    ScopedGzip& operator=(const ScopedGzip&) = delete;
    gzFile get() const { return file_; }

private:
    gzFile file_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t done = write(fd, data, length);
        if (done <= 0) {
            return false;
        }
        data += done;
        length -= static_cast<std::size_t>(done);
    }
    return true;
}

bool copyRange(int in, int out, std::uint64_t length, std::vector<std::uint8_t>& buffer) {
    for (std::uint64_t left = length; left > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        const ssize_t got = read(in, buffer.data(), want);
        if (got <= 0 || !writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
            return false;
        }
        left -= static_cast<std::uint64_t>(got);
    }
    return true;
}

// The gzip member copied out of the installer into the archive, as every extractor of the format starts.
bool copyMember(const std::string& installer, const bench::SyntheticInstaller& written, const std::string& archive,
                std::vector<std::uint8_t>& buffer) {
    const ScopedFd in(open(installer.c_str(), O_RDONLY));
    const ScopedFd out(open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    return in.get() >= 0 && out.get() >= 0 && lseek(in.get(), static_cast<off_t>(written.packageOffset), SEEK_SET) >= 0 &&
           copyRange(in.get(), out.get(), written.packedSize, buffer);
}

// Length bytes of the inflated member written to the file.
bool inflateInto(gzFile member, int out, std::uint64_t length, std::vector<std::uint8_t>& buffer) {
    for (std::uint64_t left = length; left > 0;) {
        const unsigned want = static_cast<unsigned>(std::min<std::uint64_t>(left, buffer.size()));
        const int got = gzread(member, buffer.data(), want);
        if (out < 0 || got <= 0 || !writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
            return false;
        }
        left -= static_cast<std::uint64_t>(got);
    }
    return true;
}

fs::path targetOf(const std::string& dir, const bench::SyntheticFile& f) {
    return fs::path(dir) / ("slot" + std::to_string(f.kind)) / nativeName(f.name);
}

// The single-pass floor: the member copied out and inflated straight into the files.
int singlePassFloor(const std::string& installer, const bench::SyntheticInstaller& written,
                    const std::vector<bench::SyntheticFile>& files, const std::string& dir) {
    fs::create_directories(dir);
    const std::string archive = dir + "/tmp.zip";
    std::vector<std::uint8_t> buffer(kFloorBuffer);
    if (!copyMember(installer, written, archive, buffer)) {
        return 1;
    }
    const ScopedGzip member(archive);
    if (!member.get() || gzbuffer(member.get(), kFloorBuffer) != 0) {
        return 1;
    }
    for (const bench::SyntheticFile& f : files) {
        const fs::path target = targetOf(dir, f);
        fs::create_directories(target.parent_path());
        const ScopedFd fd(open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        if (!inflateInto(member.get(), fd.get(), f.size, buffer)) {
            return 1;
        }
    }
    unlink(archive.c_str());
    return 0;
}

// The floor of the format's passes: the member copied out, inflated whole into the store, the store's data
// copied into the files in the order the directory lists them, and each file read back for its MD5.
int formatPassesFloor(const std::string& installer, const bench::SyntheticInstaller& written,
                      const std::vector<bench::SyntheticFile>& files, const std::string& dir) {
    fs::create_directories(dir);
    const std::string archive = dir + "/tmp.zip";
    const std::string store = dir + "/installer.dat";
    std::vector<std::uint8_t> buffer(kFloorBuffer);
    if (!copyMember(installer, written, archive, buffer)) {
        return 1;
    }
    {
        const ScopedGzip member(archive);
        const ScopedFd out(open(store.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        if (!member.get() || gzbuffer(member.get(), kFloorBuffer) != 0 ||
            !inflateInto(member.get(), out.get(), written.unpackedSize, buffer)) {
            return 1;
        }
    }
    {
        const ScopedFd in(open(store.c_str(), O_RDONLY));
        for (const bench::SyntheticFile& f : files) {
            const fs::path target = targetOf(dir, f);
            fs::create_directories(target.parent_path());
            const ScopedFd out(open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
            if (in.get() < 0 || out.get() < 0 || !copyRange(in.get(), out.get(), f.size, buffer)) {
                return 1;
            }
        }
    }
    for (const bench::SyntheticFile& f : files) {
        const ScopedFd in(open(targetOf(dir, f).c_str(), O_RDONLY));
        Md5 digest;
        for (ssize_t got = 0; in.get() >= 0 && (got = read(in.get(), buffer.data(), buffer.size())) > 0;) {
            digest.update(buffer.data(), static_cast<std::size_t>(got));
        }
        digest.finish();
    }
    unlink(archive.c_str());
    unlink(store.c_str());
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void clearFolder(const std::string& dir) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "zeln-bench-XXXXXX").string();
        if (mkdtemp(pattern.data())) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() { clearFolder(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool writeInstaller(const std::string& path, unsigned scale, bench::SyntheticInstaller& written) {
    if (!bench::writeSyntheticInstaller(path, bench::syntheticFiles(scale), written)) {
        std::cerr << "bench_engine: cannot write " << path << "\n";
        return false;
    }
    return true;
}

double megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

int benchmark() {
    const ScratchFolder scratch;
    if (scratch.path().empty()) {
        std::cerr << "bench_engine: no scratch folder\n";
        return 1;
    }
    const std::string installer = scratch.path() + "/setup.exe";
    const std::string engineDir = scratch.path() + "/engine";
    const std::string floorDir = scratch.path() + "/floor";
    const std::vector<bench::SyntheticFile> files = bench::syntheticFiles(1);
    bench::SyntheticInstaller shipped;
    if (!writeInstaller(installer, 1, shipped)) {
        return 1;
    }
    std::vector<double> engineTimes;
    std::vector<double> formatTimes;
    std::vector<double> singlePassTimes;
    long smallResident = 0;
    for (int run = 0; run < kRuns; ++run) {
        clearFolder(engineDir);
        const ChildRun engine = engineRun(installer, engineDir);
        clearFolder(floorDir);
        const ChildRun format = inChild([&] { return formatPassesFloor(installer, shipped, files, floorDir); });
        clearFolder(floorDir);
        const ChildRun singlePass = inChild([&] { return singlePassFloor(installer, shipped, files, floorDir); });
        if (!engine.succeeded || !format.succeeded || !singlePass.succeeded) {
            std::cerr << "bench_engine: " << (engine.succeeded ? "a floor" : "pkgtool extract") << " failed\n";
            return 1;
        }
        engineTimes.push_back(engine.seconds);
        formatTimes.push_back(format.seconds);
        singlePassTimes.push_back(singlePass.seconds);
        smallResident = std::max(smallResident, engine.maxResidentKiB);
    }
    clearFolder(engineDir);
    clearFolder(floorDir);

    bench::SyntheticInstaller large;
    if (!writeInstaller(installer, kLargeScale, large)) {
        return 1;
    }
    const ChildRun largeRun = engineRun(installer, engineDir);
    if (!largeRun.succeeded) {
        std::cerr << "bench_engine: pkgtool extract of the large package failed\n";
        return 1;
    }

    const double engineMedian = median(engineTimes);
    const double formatMedian = median(formatTimes);
    const double singlePassMedian = median(singlePassTimes);
    const double ratio = engineMedian / formatMedian;
    const long growth = largeRun.maxResidentKiB - smallResident;
    const bool ratioMet = ratio <= kRatioGoal;
    const bool flatMet = growth <= kFlatGoalKiB;
    std::printf("package: %zu entries, %.2f MB unpacked (%.2f MB data), %.2f MB packed\n", files.size(),
                megabytes(shipped.unpackedSize), megabytes(shipped.dataSize), megabytes(shipped.packedSize));
    std::printf("%-44s %12s %12s %8s %8s\n", "figure", "measured", "floor", "ratio", "goal");
    const std::string timed = "pkgtool extract, median of " + std::to_string(kRuns);
    std::printf("%-44s %9.1f ms %9.1f ms %8.2f   <= %.2f %s\n", (timed + " / format's passes").c_str(),
                engineMedian * 1e3, formatMedian * 1e3, ratio, kRatioGoal, ratioMet ? "met" : "MISSED");
    std::printf("%-44s %9.1f ms %9.1f ms %8.2f   (information)\n", (timed + " / single pass").c_str(),
                engineMedian * 1e3, singlePassMedian * 1e3, engineMedian / singlePassMedian);
    std::printf("%-44s %8ld KiB\n", "peak resident, shipped-size package", smallResident);
    std::printf("%-44s %8ld KiB\n", ("peak resident, " + std::to_string(static_cast<int>(megabytes(large.unpackedSize))) +
                                     " MB package").c_str(),
                largeRun.maxResidentKiB);
    std::printf("%-44s %8ld KiB %26s <= %ld KiB  %s\n", "growth of peak resident", growth, "", kFlatGoalKiB,
                flatMet ? "met" : "MISSED");
    return ratioMet && flatMet ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-installer") {
        bench::SyntheticInstaller written;
        return writeInstaller(argv[2], 1, written) ? 0 : 1;
    }
    if (argc != 1) {
        std::cerr << "usage: bench_engine [--write-installer PATH]\n";
        return 2;
    }
    return benchmark();
}
