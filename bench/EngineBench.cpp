// The engine benchmark. `pkgtool extract` of a synthetic package of the shipped package's shape (the engine's
// own extraction, placement and verification) against a floor measured in the same run: the gzip member copied
// out, decompressed with zlib and written as the same 74 files with plain writes. Each side runs in a child
// process; the figure is the ratio of the medians. Peak resident memory of the engine is measured on the same
// package and on one grown past 500 MB: nothing may hold the package in memory, so it must stay flat.
//
//   bench_engine                          the benchmark; exit status 1 when a goal is missed
//   bench_engine --write-installer PATH   only writes the synthetic installer (for a profiler run)
#include "bench/SyntheticPackage.h"

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
constexpr double kRatioGoal = 1.5;
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

// The floor: what any extractor must at least do, in large plain reads and writes.
int floorExtract(const std::string& installer, const bench::SyntheticInstaller& written,
                 const std::vector<bench::SyntheticFile>& files, const std::string& dir) {
    fs::create_directories(dir);
    const std::string archive = dir + "/tmp.zip";
    std::vector<std::uint8_t> buffer(kFloorBuffer);
    {
        const ScopedFd in(open(installer.c_str(), O_RDONLY));
        const ScopedFd out(open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        if (in.get() < 0 || out.get() < 0 || lseek(in.get(), static_cast<off_t>(written.packageOffset), SEEK_SET) < 0) {
            return 1;
        }
        for (std::uint64_t left = written.packedSize; left > 0;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
            const ssize_t got = read(in.get(), buffer.data(), want);
            if (got <= 0 || !writeAll(out.get(), buffer.data(), static_cast<std::size_t>(got))) {
                return 1;
            }
            left -= static_cast<std::uint64_t>(got);
        }
    }
    const ScopedGzip member(archive);
    if (!member.get() || gzbuffer(member.get(), kFloorBuffer) != 0) {
        return 1;
    }
    for (const bench::SyntheticFile& f : files) {
        const fs::path target = fs::path(dir) / ("slot" + std::to_string(f.kind)) / nativeName(f.name);
        fs::create_directories(target.parent_path());
        const ScopedFd fd(open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        for (std::uint64_t left = f.size; left > 0;) {
            const unsigned want = static_cast<unsigned>(std::min<std::uint64_t>(left, buffer.size()));
            const int got = gzread(member.get(), buffer.data(), want);
            if (fd.get() < 0 || got <= 0 || !writeAll(fd.get(), buffer.data(), static_cast<std::size_t>(got))) {
                return 1;
            }
            left -= static_cast<std::uint64_t>(got);
        }
    }
    unlink(archive.c_str());
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
    std::vector<double> floorTimes;
    long smallResident = 0;
    for (int run = 0; run < kRuns; ++run) {
        clearFolder(engineDir);
        const ChildRun engine = engineRun(installer, engineDir);
        clearFolder(floorDir);
        const ChildRun floor = inChild([&] { return floorExtract(installer, shipped, files, floorDir); });
        if (!engine.succeeded || !floor.succeeded) {
            std::cerr << "bench_engine: " << (engine.succeeded ? "the floor" : "pkgtool extract") << " failed\n";
            return 1;
        }
        engineTimes.push_back(engine.seconds);
        floorTimes.push_back(floor.seconds);
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
    const double floorMedian = median(floorTimes);
    const double ratio = engineMedian / floorMedian;
    const long growth = largeRun.maxResidentKiB - smallResident;
    const bool ratioMet = ratio <= kRatioGoal;
    const bool flatMet = growth <= kFlatGoalKiB;
    std::printf("package: %zu entries, %.2f MB unpacked (%.2f MB data), %.2f MB packed\n", files.size(),
                megabytes(shipped.unpackedSize), megabytes(shipped.dataSize), megabytes(shipped.packedSize));
    std::printf("%-44s %12s %12s %8s %8s\n", "figure", "measured", "floor", "ratio", "goal");
    const std::string timed = "pkgtool extract, median of " + std::to_string(kRuns);
    std::printf("%-44s %9.1f ms %9.1f ms %8.2f   <= %.1f  %s\n", timed.c_str(), engineMedian * 1e3,
                floorMedian * 1e3, ratio, kRatioGoal, ratioMet ? "met" : "MISSED");
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
