// The hand-overs between the update engine and the server ping, and the
// game's server_list.ini.
#pragma once
#include <string>
#include <vector>

#include "ServerEntry.h"
#include "ServerList.h"

class UpdateContext;

// The ping rows of every login server of every area, in table order.
std::vector<ServerEntry> PingRowsOfAreas(const std::vector<AreaInfo>& areas);
// Fills the process-wide server list and starts the ping thread; a thread
// that cannot start still sets the ping-done flag.
void RegisterPingServers(UpdateContext& run);
// Polls every 100 ms until the ping is done or the launcher quits.
void WaitForPingDone(UpdateContext& run);

// Web mode: the lines of the first area with this index for the selected
// line (0 automatic); pure.
std::vector<std::string> WebServerListLines(const std::vector<AreaInfo>& areas, int area, int line);
// server_list.ini from the ping results, or in web mode from the area list.
bool WriteServerListIni(UpdateContext& run);
