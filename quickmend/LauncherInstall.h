// What the updater does with a downloaded launcher package: the files it
// touches in the working folder and the launcher it starts.
#pragma once
#include "afx/AfxString.h"

extern const char* const kLauncherExe;    // "zarn_launcher.exe"
extern const char* const kLauncherPackage;  // "launcher.pak"

enum InstallResult {
  INSTALL_OK = 0,
  INSTALL_UNPACK_FAILED,   // the old launcher stays; the package is kept
  INSTALL_VERSION_FAILED,  // the new launcher is in place, its version not recorded
  INSTALL_OUTDATED,        // the package is older than the address asks for; nothing changed
};

// The address to fetch: the command line lower-cased (double-byte
// characters kept whole) with ".pak" appended.
CString PackageUrl(const CString& url);

// The launcher version the address asks for: its last path segment (the
// launcher forms "<base>launcher/<version>").
CString RequiredLauncherVersion(const CString& url);

// True when the working folder holds the launcher program. A folder name
// that the 255-byte buffer cannot hold counts as wrong.
bool LauncherFolderOk();

// Unpacks the package over the launcher, removes the package and records
// its version. A package the launcher would still find older than
// requiredVersion is refused before anything is written: installed, it would
// send the launcher back here at every start.
InstallResult InstallLauncherPackage(const char* requiredVersion);

// Leaves exactly one PatchVer holding version in LauncherCfg/UpdateCfg.xml;
// the result of the save (false when the file cannot be read, has no Update
// element or cannot be written).
bool WritePatchVersion(const char* version);

// Starts the launcher with the command line "1"; false when it cannot start.
bool StartLauncher();
