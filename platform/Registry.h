// The registry as the installer uses it: keys opened under a root or under another open key, in an explicit
// view, with values written at exactly the byte count the caller names.
//
// Each call is one Windows registry call and answers its error code (0 = success), so callers keep the
// distinctions that matter to them: RegOpenKeyW/RegCreateKeyW (widest access the caller may have, the
// process's default view) versus RegOpenKeyExW/RegCreateKeyExW (a given access mask and view).
//
// Views: a 32-bit process on 64-bit Windows sees HKEY_LOCAL_MACHINE\SOFTWARE redirected in the default view;
// RegistryView::Force64 (KEY_WOW64_64KEY) reaches the 64-bit view. HKEY_CURRENT_USER\Software is shared.
//
// Strings are UTF-16 on the wire whatever wchar_t is on the build machine: byte counts for string data are
// counts of UTF-16 bytes, and a string's data may leave out its terminator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The predefined roots, numbered as their handles' signed 32-bit values (the install log prints them so).
enum class RegistryRoot : std::int32_t {
    CurrentUser = -2147483647,   // HKEY_CURRENT_USER  (0x80000001)
    LocalMachine = -2147483646,  // HKEY_LOCAL_MACHINE (0x80000002)
};

enum class RegistryView {
    Default,  // what the process sees without asking: redirected for a 32-bit process on 64-bit Windows
    Force64,  // KEY_WOW64_64KEY: the 64-bit view on 64-bit Windows
};

// Access masks as Windows defines them; the view bit is added from RegistryView, never written here.
constexpr std::uint32_t kKeyRead = 0x20019;         // KEY_READ
constexpr std::uint32_t kKeyReadWrite = 0x2001F;    // KEY_READ | KEY_WRITE
constexpr std::uint32_t kKeyAllAccess = 0xF003F;    // KEY_ALL_ACCESS
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;   // KEY_WOW64_64KEY
constexpr std::uint32_t kMaximumAllowed = 0x02000000;  // what RegOpenKeyW and RegCreateKeyW ask for

// The access mask a call passes to Windows for the given access in the given view.
constexpr std::uint32_t accessMask(std::uint32_t access, RegistryView view) {
    return view == RegistryView::Force64 ? (access | kKeyWow64_64Key) : access;
}

// Windows error codes that callers and fakes distinguish.
constexpr std::int32_t kRegistrySuccess = 0;          // ERROR_SUCCESS
constexpr std::int32_t kRegistryNotFound = 2;         // ERROR_FILE_NOT_FOUND
constexpr std::int32_t kRegistryAccessDenied = 5;     // ERROR_ACCESS_DENIED
constexpr std::int32_t kRegistryInvalidHandle = 6;    // ERROR_INVALID_HANDLE
constexpr std::int32_t kRegistryInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr std::int32_t kRegistryMoreData = 234;       // ERROR_MORE_DATA
constexpr std::int32_t kRegistryNoMoreItems = 259;    // ERROR_NO_MORE_ITEMS
constexpr std::int32_t kRegistryKeyDeleted = 1018;    // ERROR_KEY_DELETED

enum class RegistryType : std::uint32_t {
    None = 0,
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ
    Binary = 3,        // REG_BINARY
    Dword = 4,         // REG_DWORD, little-endian
    MultiString = 7,   // REG_MULTI_SZ
    Qword = 11,        // REG_QWORD
};

// A value as read: its type and its data bytes exactly as stored.
struct RegistryValue {
    RegistryType type = RegistryType::None;
    std::vector<std::uint8_t> data;

    // The data read as UTF-16 text, up to the first terminator or the end of the data (an odd last byte is
    // not a character).
    std::wstring text() const;
    // The data as a REG_DWORD; false when the value is not four bytes of REG_DWORD.
    bool dword(std::uint32_t& out) const;
};

struct RegistryKeyInfo {
    std::uint32_t subkeyCount = 0;
    std::uint32_t valueCount = 0;
};

// The UTF-16 little-endian bytes of a text followed by its terminator (2 × (length + 1) bytes for text of
// the basic plane).
std::vector<std::uint8_t> utf16Bytes(const std::wstring& text);
// The UTF-16 length of a text, in code units (what Windows counts as its length).
std::uint32_t utf16Length(const std::wstring& text);

class Registry;

// An open key, closed when it goes out of scope. Move-only.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    explicit operator bool() const { return handle_ != 0; }
    std::intptr_t handle() const { return handle_; }
    // The view the key was opened or created in.
    RegistryView view() const { return view_; }
    // RegCloseKey now; answers its result (kRegistryInvalidHandle when nothing is open).
    std::int32_t close();

private:
    friend class Registry;
    RegistryKey(Registry* registry, std::intptr_t handle, RegistryView view)
        : registry_(registry), handle_(handle), view_(view) {}

    Registry* registry_ = nullptr;
    std::intptr_t handle_ = 0;
    RegistryView view_ = RegistryView::Default;
};

// Where a key is opened: a predefined root or an open key.
class KeyParent {
public:
    KeyParent(RegistryRoot root) : handle_(static_cast<std::intptr_t>(static_cast<std::int32_t>(root))) {}
    KeyParent(const RegistryKey& key) : handle_(key.handle()), view_(key.view()) {}
    std::intptr_t handle() const { return handle_; }
    // The view of the open key; a root has no view of its own until a call names one.
    RegistryView view() const { return view_; }

private:
    std::intptr_t handle_;
    RegistryView view_ = RegistryView::Default;
};

class Registry {
public:
    virtual ~Registry() = default;

    // RegOpenKeyW: the widest access the caller may have, default view. An empty subkey opens the parent anew.
    virtual std::int32_t openKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) = 0;
    // RegOpenKeyExW with the access mask and view given.
    virtual std::int32_t openKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                   RegistryView view, RegistryKey& key) = 0;
    // RegCreateKeyW: opens the key, creating it and any missing parents, default view.
    virtual std::int32_t createKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) = 0;
    // RegCreateKeyExW with no class, REG_OPTION_NON_VOLATILE, no security attributes, no disposition.
    virtual std::int32_t createKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                     RegistryView view, RegistryKey& key) = 0;

    // RegQueryValueExW into a buffer of bufferBytes bytes: kRegistryMoreData when the data does not fit.
    virtual std::int32_t queryValue(const RegistryKey& key, const std::wstring& name, std::uint32_t bufferBytes,
                                    RegistryValue& value) = 0;
    // RegSetValueExW with REG_SZ: the first byteCount bytes of the UTF-16 text and its terminator.
    // byteCount may be at most 2 × (UTF-16 length + 1).
    virtual std::int32_t setString(const RegistryKey& key, const std::wstring& name, const std::wstring& text,
                                   std::uint32_t byteCount) = 0;
    // RegSetValueExW with REG_DWORD, four bytes.
    virtual std::int32_t setDword(const RegistryKey& key, const std::wstring& name, std::uint32_t value) = 0;
    // RegSetValueExW with the value's own type and exactly its data bytes: a value put back as it was read.
    virtual std::int32_t setValue(const RegistryKey& key, const std::wstring& name, const RegistryValue& value) = 0;
    // RegDeleteValueW.
    virtual std::int32_t deleteValue(const RegistryKey& key, const std::wstring& name) = 0;

    // RegQueryInfoKeyW: the numbers of subkeys and values.
    virtual std::int32_t queryKeyInfo(const RegistryKey& key, RegistryKeyInfo& info) = 0;
    // RegEnumKeyExW offering nameChars characters (terminator included): kRegistryMoreData when the name does
    // not fit, kRegistryNoMoreItems past the last subkey.
    virtual std::int32_t enumKey(const RegistryKey& key, std::uint32_t index, std::uint32_t nameChars,
                                 std::wstring& name) = 0;
    // RegEnumValueW: the name and the value at the index, kRegistryNoMoreItems past the last one.
    virtual std::int32_t enumValue(const RegistryKey& key, std::uint32_t index, std::wstring& name,
                                   RegistryValue& value) = 0;
    // RegDeleteKeyW: removes a key that has no subkeys (kRegistryAccessDenied when it has some). Under a key
    // opened in the 64-bit view the delete names that view (RegDeleteKeyExW with KEY_WOW64_64KEY): RegDeleteKeyW
    // would delete in the process's own view. Windows without RegDeleteKeyExW has only one view.
    virtual std::int32_t deleteKey(KeyParent parent, const std::wstring& subkey) = 0;

protected:
    // RegCloseKey, for RegistryKey.
    virtual std::int32_t closeKey(std::intptr_t handle) = 0;
    // Wraps a handle that an open or create call got in the given view.
    RegistryKey adopt(std::intptr_t handle, RegistryView view) { return RegistryKey(this, handle, view); }

    friend class RegistryKey;
};

}  // namespace platform
