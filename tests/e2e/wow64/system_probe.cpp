// Asks Windows itself about what an install left, the way the input method's users meet it: a keyboard
// layout loaded by its identifier and the IME module the input-method manager loads for it, and font
// families found by their own names. Built 32- and 64-bit, so that each kind of process reads its own view.
//
// usage: system_probe layout LAYOUT_ID    prints hkl=, ime-file=, property=, module=, module-machine= and
//                                         process-machine= lines
//        system_probe module PATH         loads the module as a program started now does and prints its
//                                         module-version= line
//        system_probe fonts FAMILY...     prints "found FAMILY" or "missing FAMILY" for each
// Exit status 0 when every question had an answer, 1 otherwise.
#include <windows.h>
#include <imm.h>

#include <cstdio>
#include <string>

namespace {

void printLine(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    std::printf("%s\n", bytes.c_str());
}

const wchar_t* machineName(WORD machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return L"i386";
    case IMAGE_FILE_MACHINE_AMD64: return L"amd64";
    default: return L"other";
    }
}

// The machine a loaded module was built for, read from its own headers in memory.
WORD moduleMachine(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->FileHeader.Machine;
}

// The product version of a loaded module, read from the version resource the loader mapped: the module the
// process really has, whatever has been placed under its name since.
std::wstring moduleVersion(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));  // RT_VERSION
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* resource = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (resource == nullptr) return L"none";
    // VerQueryValueW works on a writable copy of the block, as GetFileVersionInfoW would give it.
    std::string copy(static_cast<const char*>(resource), SizeofResource(module, found));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(&copy[0], L"\\", reinterpret_cast<void**>(&fixed), &size) || size < sizeof *fixed) {
        return L"unreadable";
    }
    std::wstring version;
    for (const DWORD part : {fixed->dwProductVersionMS, fixed->dwProductVersionLS}) {
        version += std::to_wstring(HIWORD(part)) + L"." + std::to_wstring(LOWORD(part)) + L".";
    }
    return version.substr(0, version.size() - 1);
}

wchar_t hex(unsigned digit) { return L"0123456789ABCDEF"[digit & 15]; }

std::wstring hexText(ULONG_PTR value, int digits) {
    std::wstring text(digits, L'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[i] = hex(static_cast<unsigned>(value));
    return text;
}

int probeLayout(const wchar_t* layoutId) {
    HKL layout = LoadKeyboardLayoutW(layoutId, KLF_ACTIVATE);
    printLine(L"hkl=" + hexText(reinterpret_cast<ULONG_PTR>(layout), 8));
    if (layout == nullptr) return 1;
    wchar_t imeFile[MAX_PATH] = L"";
    ImmGetIMEFileNameW(layout, imeFile, MAX_PATH);
    printLine(std::wstring(L"ime-file=") + imeFile);
    // The property comes from the module's own ImeInquire: the manager has to load the module to answer.
    printLine(L"property=0x" + hexText(ImmGetProperty(layout, IGP_PROPERTY), 8));
    printLine(std::wstring(L"process-machine=") + machineName(moduleMachine(GetModuleHandleW(nullptr))));
    HMODULE module = imeFile[0] != L'\0' ? GetModuleHandleW(imeFile) : nullptr;
    if (module == nullptr) {
        printLine(L"module=");
        return 1;
    }
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(module, path, MAX_PATH);
    printLine(std::wstring(L"module=") + path);
    printLine(std::wstring(L"module-machine=") + machineName(moduleMachine(module)));
    return 0;
}

int probeModule(const wchar_t* path) {
    HMODULE module = LoadLibraryW(path);
    if (module == nullptr) {
        printLine(L"module-version=");
        return 1;
    }
    printLine(L"module-version=" + moduleVersion(module));
    return 0;
}

int CALLBACK noteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

int probeFonts(int count, wchar_t** families) {
    HDC screen = GetDC(nullptr);
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        LOGFONTW query{};
        query.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(query.lfFaceName, families[i], LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExW(screen, &query, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
        printLine(std::wstring(found ? L"found " : L"missing ") + families[i]);
        missing += found ? 0 : 1;
    }
    ReleaseDC(nullptr, screen);
    return missing == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"layout") == 0) return probeLayout(argv[2]);
    if (argc >= 3 && lstrcmpW(argv[1], L"fonts") == 0) return probeFonts(argc - 2, argv + 2);
    if (argc == 3 && lstrcmpW(argv[1], L"module") == 0) return probeModule(argv[2]);
    std::fprintf(stderr, "usage: system_probe layout LAYOUT_ID | fonts FAMILY... | module PATH\n");
    return 2;
}
