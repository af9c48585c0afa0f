// Holds modules and files the way programs in use hold them, until it is ended: each "load PATH" is loaded
// as a program loads a module it uses, each "map PATH" is mapped into memory as an input method maps its
// dictionaries (the file itself is not kept open), each "open PATH" is opened for reading without delete
// sharing. Once everything is held it writes "ready" to READY_FILE. Built 32- and 64-bit: each kind loads its
// own modules.
//
// usage: module_holder READY_FILE (load PATH | map PATH | open PATH)...
// Exit status 2 for a wrong command line, 3 when something cannot be held (its path is printed); otherwise
// it runs until it is ended.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

// A read-only view of the whole file, kept for the life of the process.
bool mapIntoMemory(const wchar_t* path) {
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    return mapping != nullptr && MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) != nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || argc % 2 != 0) return 2;
    for (int i = 2; i + 1 < argc; i += 2) {
        const wchar_t* path = argv[i + 1];
        bool held = false;
        if (std::wcscmp(argv[i], L"load") == 0) {
            held = LoadLibraryW(path) != nullptr;
        } else if (std::wcscmp(argv[i], L"map") == 0) {
            held = mapIntoMemory(path);
        } else if (std::wcscmp(argv[i], L"open") == 0) {
            held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr) !=
                   INVALID_HANDLE_VALUE;
        } else {
            return 2;
        }
        if (!held) {
            std::printf("cannot hold %ls: error %lu\n", path, GetLastError());
            return 3;
        }
    }
    FILE* ready = _wfopen(argv[1], L"wb");
    if (ready == nullptr) return 3;
    std::fputs("ready\n", ready);
    std::fclose(ready);
    // Held until the process is ended, as by a restart.
    Sleep(INFINITE);
    return 0;
}
