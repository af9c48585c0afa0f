// GDI's switch for end-user-defined-character (EUDC) font linking, EnableEUDC, which GDI32 exports without a
// declaration in the SDK headers.
#pragma once

#include <memory>

namespace platform {

// GDI32 loaded with its EnableEUDC entry point; the library is freed when this goes.
class EudcSwitch {
public:
    virtual ~EudcSwitch() = default;
    // EnableEUDC(on): false switches EUDC font linking off, true on again.
    virtual void enable(bool on) = 0;
};

class Eudc {
public:
    virtual ~Eudc() = default;
    // LoadLibraryW("GDI32.DLL") and GetProcAddress("EnableEUDC"); null when either fails (the library is then
    // already freed again).
    virtual std::unique_ptr<EudcSwitch> loadSwitch() = 0;
};

}  // namespace platform
