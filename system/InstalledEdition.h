#pragma once
// What an install of the present edition registers and places on the system drive, taken out again: its
// keyboard layouts, the text-service registration, the IME modules in both system directories, the
// application folder at its default locations and two superseded product registrations. Run after the
// payload is unpacked and after any failed step; safe where nothing is installed.
#include "engine/InstallResult.h"
#include "platform/DirectoryWalk.h"
#include "platform/Registry.h"
#include "system/ModuleRemoval.h"
#include "system/RemovalServices.h"

#include <cstddef>
#include <string>
#include <vector>

// At most this many layouts of the IME module are retired in one removal.
inline constexpr std::size_t kMaxRetiredLayouts = 100;
// A layout identifier's length: a device part of four hexadecimal characters and a language of four.
inline constexpr std::size_t kLayoutIdChars = 8;

// Superseded product keys, the IME module's layouts, the text-service registration and the installed
// files, in that order. Always RESULT_OK.
InstallResult removeInstalledEdition(RemovalServices& services);

// Writes down that the text-service module in the system directory, when it is there, is registered again
// when the install is undone: before anything takes the module out or unregisters it, so that the undo
// registers it once it is back in its place. False when this cannot be written down (nothing may touch the
// module then).
bool keepTextServiceRegistration(RemovalServices& services);

// Runs regsvr32 to unregister the text-service module in the system directory and waits until it exits;
// neither the launch nor its outcome is looked at. Always RESULT_OK.
InstallResult unregisterTextService(RemovalServices& services);

// Deletes the machine uninstall entry and the user's Windows Installer product keys that the present
// edition supersedes. Failures are ignored.
void removeSupersededProductKeys(platform::Registry& registry);

// The identifiers of every layout whose "IME File" is "ZelnIme.ime" (ignoring case), in list order, at most
// kMaxRetiredLayouts; a key name longer than an identifier is not one of ours and is passed over.
std::size_t findLayoutsByImeFile(platform::Registry& registry, std::vector<std::wstring>& layoutIds);

// Takes the IME modules out of both system directories and deletes the default application folders from the
// system drive. Always 1.
int removeInstalledFiles(platform::DirectoryWalk& files, ModuleRemoval& modules, const std::wstring& windowsDirectory);
