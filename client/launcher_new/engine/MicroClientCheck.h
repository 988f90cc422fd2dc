// The micro-client side of the client check: what a full client shares
// with it (the moved pack copies) and the calls the micro-client check fills.
#pragma once

class UpdateContext;

// Fetches every moved pack copy ("data/00N.pkg2") that is missing; false
// when the launcher is quitting or a copy did not arrive.
bool FetchMissingMovedPacks(UpdateContext& run);
// Before the hand-over to the emergency updater: the moved copies, then the
// micro client's resources.
bool PrepareMicroClientUpdate(UpdateContext& run);
// The micro client's resources that the queued configuration files need
// (nothing for a full client, whose patches queue none).
bool PrepareMicroClientResources(UpdateContext& run);
// The client check of a micro client, in place of FullClientFileCheck.
bool MicroClientFileCheck(UpdateContext& run);

// The micro-client download manager's progress callback: files merged and
// files to merge of the active run.
void SetMergeProgress(int merged, int toMerge);
