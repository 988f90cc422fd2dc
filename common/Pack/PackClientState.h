// Module state of the client pack set, shared by its source files.
#pragma once

namespace PackClient {

struct PackSetState {
  bool initialised = false;  // set by OpenAllPacks
  bool microMode = false;    // the mode OpenAllPacks was last given
};
PackSetState& PackSet();

// The nine data packs (pack numbers) in the order they are opened and closed.
extern const int kDataPackOpenOrder[9];

}  // namespace PackClient
