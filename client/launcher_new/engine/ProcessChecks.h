// Process and disk routines of the launcher's start-up checks, also used by
// the update engine before it touches the client.
#pragma once
#include <cstdint>

// Running processes whose executable file name equals name, without case;
// 0 when no snapshot can be taken.
int32_t CountProcessesByName(const char* name);
// Whether any process has a module whose lower-cased path contains name.
bool IsModuleLoadedInAnyProcess(const char* name);
// Whether the current directory's drive has at least high:low bytes free
// for the caller; a query that fails counts as enough.
bool HasEnoughDiskSpace(uint32_t low, uint32_t high);
