#pragma once
// The comparison Windows applies to layout identifiers and module names: the runtime library's
// case-insensitive one, which folds the ASCII letters (identifiers and module names are ASCII).
#include <algorithm>
#include <string>

namespace platform {

inline wchar_t foldAsciiCase(wchar_t character) {
    return character >= L'A' && character <= L'Z' ? static_cast<wchar_t>(character - L'A' + L'a') : character;
}

inline bool equalsIgnoringAsciiCase(const std::wstring& left, const std::wstring& right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](wchar_t a, wchar_t b) {
               return foldAsciiCase(a) == foldAsciiCase(b);
           });
}

inline bool startsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& start) {
    return text.size() >= start.size() && equalsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

}  // namespace platform
