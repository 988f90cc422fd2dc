// The downloaded server-list package: data part, index part, u32 data length.
#pragma once

namespace PackClient {

// Writes <base>.pkg and <base>.pkg1 beside the package; true when both were written.
bool SplitServerListPak(const char* path);

}  // namespace PackClient
