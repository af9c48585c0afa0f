#pragma once
// Files and folders made in the test's own Wine prefix.
#include <string>

namespace prefixfiles {

// C:\windows (as the prefix names it), without a trailing backslash.
std::wstring windowsDirectory();

// Creates the folder and every missing folder above it.
bool makeFolders(const std::wstring& folder);

// Writes text to the file, creating its folders.
bool writeFile(const std::wstring& path, const std::string& text);

// Copies a file, creating the target's folders.
bool copyFile(const std::wstring& from, const std::wstring& to);

bool exists(const std::wstring& path);

}  // namespace prefixfiles
