// server_list.ini for the game client: one "node server normal ..." line per
// server, the whole file masked byte by byte.
#pragma once
#include <string>
#include <vector>

#include "ServerEntry.h"

extern const char* const kServerListIni;  // "server_list.ini"
const unsigned char kServerListMask = 0x5C;

// Of each group of rows with the same non-zero doublelineindex keeps the one
// with the lowest ping (the earliest of equals): group-0 rows in order, then
// one row per group in ascending key order.
std::vector<ServerEntry> SelectFastestPerGroup(const std::vector<ServerEntry>& rows);
void SelectFastestPerGroup(ServerList& list);

// The ping line of one row: name, ip, recommend, port, resindex, 0, pingport, ping.
std::string FormatPingServerLine(const ServerEntry& entry);
// Writes lines to path as text mode would (CR LF), masked, in one replace
// of the file; false (the old file as it was) when it cannot be written.
bool WriteMaskedServerListFile(const char* path, const std::vector<std::string>& lines);

// The rows of one area from the ping results; masked.
bool WriteServerListIniFromPingList(const ServerList& list, int areaIndex, const char* path = kServerListIni);
// Masks (or unmasks) the file in place; false when it cannot be read or
// written whole. An empty file stays as it is.
bool ScrambleServerListIni(const char* path = kServerListIni);
