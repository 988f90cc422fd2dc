#include "EngineTestUtil.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "LauncherIni.h"
#include "UpdateCfg.h"
#include "common/HttpDownLoad/HttpConfig.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"
#include "support/TestSupport.h"

using testsupport::FixturePath;
using testsupport::ReadFileBytes;

namespace enginetest {

namespace {

// The files below folder, by their paths relative to it.
void AddFilesBelow(const std::string& folder, const std::string& relative, std::vector<std::string>* out) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "/" + relative + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      AddFilesBelow(folder, relative + name + "/", out);
    else
      out->push_back(relative + name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder = path;
  return folder.substr(0, folder.find_last_of("/\\"));
}

}  // namespace

std::string UpdateDir() { return FixturePath("update"); }

int UpdatePort() { return atoi(ReadFileBytes(UpdateDir() + "/port").c_str()); }

std::string NginxUrl(const std::string& path) { return "http://127.0.0.1:" + std::to_string(UpdatePort()) + path; }

std::string ServedPath(const std::string& tree, const std::string& path) {
  return UpdateDir() + "/www/" + tree + "/" + path;
}

ClientFolder::ClientFolder(const std::string& name, ClientKind kind) : m_kind(kind) {
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(current), current);
  m_previous = current;
  m_root = m_previous + "/" + name;
  testsupport::RemoveTree(m_root);
  CreateDirectoryA(m_root.c_str(), nullptr);
  testsupport::CopyTree(UpdateDir() + (kind == ClientKind::Micro ? "/microclient" : "/client"), m_root + "/client");
  CreateDirectoryA((m_root + "/outside").c_str(), nullptr);
  CopyFileA((UpdateDir() + "/outside/victim.txt").c_str(), (m_root + "/outside/victim.txt").c_str(), FALSE);
  SetCurrentDirectoryA((m_root + "/client").c_str());
  SetHttpID(1);
  PackClient::ConfigFileMap().clear();
  LoadLauncherIni();
  LoadUpdateCfg();
}

ClientFolder::~ClientFolder() {
  PackClient::CloseAllPacks();
  SetCurrentDirectoryA(m_previous.c_str());
}

void ClientFolder::UseTree(const std::string& tree) {
  SetServerListUrls(NginxUrl("/" + tree + "/serverlist"), NginxUrl("/" + tree + "/backup/serverlist"));
}

void ClientFolder::SetServerListUrls(const std::string& primary, const std::string& backup) {
  WritePrivateProfileStringA("Default", "URL", primary.c_str(), ".\\launcher.ini");
  WritePrivateProfileStringA("Default", "BackURL", backup.c_str(), ".\\launcher.ini");
  LoadLauncherIni();
}

void ClientFolder::SetHttpID(int type) { CHttpConfig::GetInstance()->SaveHttpID(type); }

void ClientFolder::SetLocalVersion(const std::string& version, const std::string& clientVersion) {
  SaveUpdateCfgVersion(clientVersion.c_str(), version.c_str());
  LoadUpdateCfg();
}

void ClientFolder::AddProgram(const std::string& name) {
  CopyFileA((ProgramFolder() + "/engine_fake_game.exe").c_str(), name.c_str(), FALSE);
}

std::string ClientFolder::Record(const std::string& program) const {
  return ReadFileBytes(program + ".record");
}

bool ClientFolder::VictimIntact() const {
  const std::string victim = "victim: must stay as it is\n";  // the kit's bytes
  return ReadFileBytes(m_root + "/outside/victim.txt") == victim &&
         ReadFileBytes(UpdateDir() + "/outside/victim.txt") == victim;
}

std::vector<std::string> ClientFolder::FilesBelow(const std::string& folder) const {
  std::vector<std::string> out;
  AddFilesBelow(folder, "", &out);
  return out;
}

UpdateSettings ClientFolder::Settings() const {
  UpdateSettings s;
  s.selectedBigArea = 1;
  s.microClientOpen = m_kind == ClientKind::Micro;
  s.webMode = true;
  s.exeName = "zarngame.exe";
  s.emergencyExeName = "Quickmend.exe";
  return s;
}

AccessLog::AccessLog() : m_mark(ReadFileBytes(UpdateDir() + "/access.log").size()) {}

namespace {

const char* const kLogMark = "/zarn-log-mark-";

// Fetches path from the update server, whatever it answers.
void Request(const std::string& path) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(UpdatePort()));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    char buffer[512];
    while (recv(s, buffer, sizeof(buffer), 0) > 0) {
    }
  }
  closesocket(s);
  WSACleanup();
}

}  // namespace

std::map<std::string, int> AccessLog::Counts() const {
  // nginx writes a request's line after its response; its one worker
  // writes the line of a request made now after every earlier one.
  static int marks = 0;
  const std::string mark = kLogMark + std::to_string(++marks);
  Request(mark);
  std::string log;
  EXPECT_TRUE(testsupport::WaitFor("nginx's log line of " + mark, [&] {
    log = ReadFileBytes(UpdateDir() + "/access.log").substr(m_mark);
    return log.find("\"GET " + mark + " ") != std::string::npos;
  }));
  std::map<std::string, int> counts;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    size_t get = line.find("\"GET ");
    if (get == std::string::npos || line.find(kLogMark) != std::string::npos) continue;
    size_t end = line.find(' ', get + 5);
    ++counts[line.substr(get + 5, end - get - 5)];
  }
  return counts;
}

std::vector<std::vector<std::string>> ExpectLines(const std::string& file) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(ReadFileBytes(UpdateDir() + "/" + file));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string w; words >> w;) row.push_back(w);
    if (!row.empty()) lines.push_back(row);
  }
  return lines;
}

std::string ReadPackKey(const std::string& base, const std::string& key) {
  FilePack::CFilePackIndexMgr pack;
  PackEntry entry;
  if (!pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false) || !pack.FindEntry(key.c_str(), &entry))
    return "(missing)";
  std::string bytes(entry.size, '\0');
  return pack.ReadEntryData(&entry, reinterpret_cast<uint8_t*>(&bytes[0]), true) ? bytes : "(unreadable)";
}

void CheckExpectations(const std::vector<std::vector<std::string>>& rows, const AccessLog& log) {
  const std::map<std::string, int> fetched = log.Counts();
  for (const auto& row : rows) {
    const std::string& kind = row[0];
    if (kind == "key") {
      EXPECT_EQ(ReadFileBytes(UpdateDir() + "/" + row[3]), ReadPackKey(row[1], row[2])) << row[1] << " " << row[2];
    } else if (kind == "nokey") {
      EXPECT_EQ("(missing)", ReadPackKey(row[1], row[2])) << row[1] << " " << row[2];
    } else if (kind == "count") {
      FilePack::CFilePackIndexMgr pack;
      ASSERT_TRUE(pack.OpenPack((row[1] + ".pkg1").c_str(), (row[1] + ".pkg").c_str(), false)) << row[1];
      EXPECT_EQ(static_cast<uint32_t>(std::stoi(row[2])), pack.EntryCount()) << row[1];
    } else if (kind == "file") {
      EXPECT_EQ(ReadFileBytes(UpdateDir() + "/" + row[2]), ReadFileBytes(row[1])) << row[1];
    } else if (kind == "nofile") {
      EXPECT_FALSE(testsupport::FileExists(row[1])) << row[1];
    } else if (kind == "fetch") {
      auto found = fetched.find(row[1]);
      EXPECT_EQ(std::stoi(row[2]), found == fetched.end() ? 0 : found->second) << row[1];
    }
  }
}

std::string ReadUpdateCfgVersion() {
  LoadUpdateCfg();
  return LauncherCfg::GetLocalUpdateCfg().version + "|" + LauncherCfg::GetLocalUpdateCfg().clientVersion;
}

}  // namespace enginetest
