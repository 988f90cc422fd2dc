// The message protocol between the update workers and the main window: the
// private messages (sent blocking, wParam and lParam 0) and the update stages
// that the panel's status line shows.
#pragma once
#include <cstdint>

namespace UpdateMsg {
const unsigned kUser = 0x0400;  // WM_USER
}

const unsigned WM_START_GAME = UpdateMsg::kUser + 1005;          // 2029
const unsigned WM_UPDATE_COMPLETE = UpdateMsg::kUser + 1006;     // 2030
const unsigned WM_UPDATE_FAILED = UpdateMsg::kUser + 1007;       // 2031; 2032 is not used
const unsigned WM_RUN_VERSION_UPDATE = UpdateMsg::kUser + 1009;  // 2033
const unsigned WM_SELF_UPDATE = UpdateMsg::kUser + 1010;         // 2034
const unsigned WM_AGREE_ON = UpdateMsg::kUser + 1011;            // 2035
const unsigned WM_AGREE_OFF = UpdateMsg::kUser + 1012;           // 2036
// The downloaders' notify message; the main window gives it default handling.
const unsigned WM_DOWNLOAD_NOTIFY = UpdateMsg::kUser + 2;        // 1026

// The stage of a run; the panel maps it to a status text (a value outside
// 1-21 shows nothing).
enum class UpdateStage : int16_t {
  Idle = 0,                   // the update thread ended without work
  ServerListDownload = 1,     // text 0
  ServerListLoading = 2,      // text 1
  PatchDownload = 3,          // the download line
  PatchCheck = 4,             // text 4 + dots
  PatchApply = 5,             // text 5 + dots
  ClientFilesPrepare = 6,     // text 39 + dots
  ClientFilesDownload = 7,    // text 36 + dots
  Merging = 8,                // text 37, files merged / to merge (also the self-update hand-off)
  VersionSave = 9,            // text 6
  ClientCheck = 10,           // text 40, the two client-check counters
  ClientVerify = 11,          // text 41 + dots
  ServerListUnavailable = 12,  // text 7: neither address answered
  DownloadFailed = 13,        // text 38
  ClientCheckFailed = 14,     // text 42
  ServerListBroken = 15,      // text 8
  NoPatch = 16,               // text 9: no step for the version, or its download failed
  PatchOpenFailed = 17,       // text 10
  PatchApplyFailed = 18,      // text 11
  VersionSaveFailed = 19,     // text 12
  Done = 20,                  // text 13
  Reserved = 21,              // text 30
};
