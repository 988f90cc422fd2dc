// Reading the server-list package's members from its opened pack pair.
#pragma once

class TiXmlDocument;
namespace FilePack {
class CFilePackIndexMgr;
}

namespace LauncherCfg {
// One member's unpacked bytes parsed into doc; false when the pack is not
// open, the member is missing or oversized, or the read or parse fails.
bool ReadServerListMember(FilePack::CFilePackIndexMgr* pack, const char* name, TiXmlDocument* doc);
}  // namespace LauncherCfg

bool LoadVersionXml(FilePack::CFilePackIndexMgr* pack);
bool LoadNewVersionXml(FilePack::CFilePackIndexMgr* pack);
bool LoadAreaListXml(FilePack::CFilePackIndexMgr* pack);
bool LoadFileMD5Xml(FilePack::CFilePackIndexMgr* pack);
bool LoadNeedDownloadFileXml(FilePack::CFilePackIndexMgr* pack);

// packPath names the pair without ".pkg"/".pkg1". Runs the five readers,
// stopping at the first failure, then sets the micro-client addresses.
// Showing the area buttons and registering the ping servers are left to
// the caller, which owns the window and the ping.
bool LoadServerListFiles(const char* packPath);
