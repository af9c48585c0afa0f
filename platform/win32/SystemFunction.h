#pragma once
// Calls that only newer Windows exports are looked up at run time, so that the program still loads where they
// are missing (an import Windows cannot resolve stops the whole program before it starts).
#include <windows.h>

namespace platform {

// The export `name` of a loaded module as the function type Function; null where the module lacks it.
template <typename Function>
Function exportedFunction(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    // Through a plain function pointer: a direct cast between unrelated function types draws a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The export name of module (a system DLL the program already imports, so it stays loaded) as the function
// type Function; null where this Windows does not export it.
template <typename Function>
Function systemFunction(const wchar_t* module, const char* name) {
    return exportedFunction<Function>(GetModuleHandleW(module), name);
}

}  // namespace platform
