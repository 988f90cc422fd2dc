// Scoped owner of a kernel handle (thread, event, completion port, process,
// file): closed when the owner goes, so no exit path leaks one. The one kind
// every library shares; it lives with the other scoped owners in afx.
#pragma once
#include "afx/AfxScoped.h"

using afx::ScopedHandle;
