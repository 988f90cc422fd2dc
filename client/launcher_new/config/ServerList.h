// The members of the server-list package: version chain, download
// addresses, areas with their login servers, checksum and need-download lists.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TiXmlDocument;

struct VersionStep {
  std::string Cur, Next, ShowVer, NeedPack, NeedRar, PatchVer, MD5, MicroClientMD5, Restart;
};

struct BigAreaAddress {
  int32_t Index = 0;
  std::vector<std::string> Addresses;
};

struct LoginServerLine {
  std::string ip;
  std::string name;
  int32_t port = 0;
  int32_t recommend = 1;
  int32_t resindex = 0;
  int32_t doublelineindex = 0;
  int32_t pingport = 30000;
  int32_t line = 0;  // 0 auto, 1 telecom, 2 netcom
};

struct AreaInfo {
  std::string name;
  int32_t index = 0;
  int32_t resindex = 0;
  std::vector<LoginServerLine> servers;
};

struct FileChecksumEntry {
  std::string name;
  std::string md5;
};

struct NeedDownloadEntry {
  std::string name;
  bool comp = false;
};

namespace LauncherCfg {

// Largest member we allocate for: the size comes from a downloaded index.
const uint32_t kMaxServerListMember = 16u * 1024 * 1024;

struct VersionXml {
  bool hasUrl = false;
  std::string url;  // res/@url, the micro-client base address
  std::vector<BigAreaAddress> addresses;
  std::vector<BigAreaAddress> backup;
};

// Each appends to its outputs and returns false on the first required part
// missing; what was read before stays.
bool ParseVersionXml(const TiXmlDocument& doc, VersionXml* out);
bool ParseNewVersionXml(const TiXmlDocument& doc, std::vector<VersionStep>* steps, std::string* newVersion,
                        std::string* newShowVersion);
// A login server whose name or address is empty or holds a blank or a
// control character is dropped (reported): it would break server_list.ini.
bool ParseAreaListXml(const TiXmlDocument& doc, std::vector<AreaInfo>* areas);
bool ParseFileMD5Xml(const TiXmlDocument& doc, std::vector<FileChecksumEntry>* files);
bool ParseNeedDownloadXml(const TiXmlDocument& doc, std::vector<NeedDownloadEntry>* files);

// The update engine's process-wide tables; only the package readers write them.
struct ServerListTables {
  std::vector<VersionStep> versionSteps;
  std::string newVersion;
  std::string newShowVersion;
  std::string microClientVersionUrl;
  std::vector<BigAreaAddress> bigAreas;
  std::vector<BigAreaAddress> backupAreas;
  std::vector<AreaInfo> areas;
  std::vector<FileChecksumEntry> checksums;
  std::vector<NeedDownloadEntry> needDownloads;
};
ServerListTables& GetServerListTables();

// The Version.xml address: replaces the launcher.ini MicroClientURL (kept
// without "/" in the ini, with "/" in memory). A hostile address changes nothing.
bool ApplyMicroClientUrl(const char* url, const char* iniPath);

}  // namespace LauncherCfg

int GetVersionStepCount();
const VersionStep* GetVersionStepAt(int i);
void ClearVersionSteps();
bool IsBigAreaListEmpty();
int GetBigAreaCount();
const BigAreaAddress* GetBigAreaAt(int i);
void ClearAreaList();
int GetAreaCount();
const AreaInfo* GetAreaAt(int i);
bool GetNeedDownloadFlag(const char* name);
