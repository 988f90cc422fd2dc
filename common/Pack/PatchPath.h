// Names from a downloaded pack or file list become local paths; they must
// stay inside the client folder (the current folder).
#pragma once

namespace PackClient {

// False for a null or empty name, a rooted one ("/", "\\", UNC), one with
// ":" (drive letters, streams) or one with a ".." component.
bool IsSafeClientPath(const char* name);
// A folder to remove must also name something below the client folder
// ("", "/" and "./" do not).
bool IsSafeClientFolder(const char* name);

// The same tests, reporting a rejected name.
bool CheckClientPath(const char* name);
bool CheckClientFolder(const char* name);

}  // namespace PackClient
