// Names from a downloaded pack or file list become local paths; they must
// stay inside the client folder (the current folder).
#pragma once

#include <string>

namespace PackClient {

// False for a null or empty name, a rooted one ("/", "\\", UNC), one with
// ":" (drive letters, streams), one with a ".." component or one with a
// component Windows takes for a device (CON, NUL, COM1, "aux.txt", ...).
bool IsSafeClientPath(const char* name);
// A folder to remove must also name something below the client folder
// ("", "/" and "./" do not).
bool IsSafeClientFolder(const char* name);

// The folder below the client where the micro client downloads resources
// ("res\\<number>.res") until a merge moves them into their pack; the
// downloader, which links without the pack store, names it from here too.
inline constexpr char kMicroDownloadFolder[] = "res";
// A resource record may name only a file directly in that folder, by a
// relative name that IsSafeClientPath accepts.
bool IsMicroDownloadPath(const char* name);
// ".pkg3", the micro client's resource records (any case).
bool IsResourceRecordName(const std::string& name);

// The same tests, reporting a rejected name.
bool CheckClientPath(const char* name);
bool CheckClientFolder(const char* name);

}  // namespace PackClient
