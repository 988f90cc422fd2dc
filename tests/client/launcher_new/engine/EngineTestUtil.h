// The update fixture (tests/fixtures/update.py, served by nginx) and a fresh
// copy of its client folder for each test.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "UpdateWindow.h"

namespace enginetest {

std::string UpdateDir();  // the fixture folder
int UpdatePort();
std::string NginxUrl(const std::string& path);
// The served file of a tree ("good", "micro/other.pkg").
std::string ServedPath(const std::string& tree, const std::string& path);

enum class ClientKind { Full, Micro };

// A fresh copy of the fixture client (the micro one: "microclient") in
// <test folder>/<name>/client with <name>/outside/victim.txt beside it; the
// current folder while it lives. The process-wide state an update leaves
// (packs, settings, queued configuration files) is reset.
class ClientFolder {
 public:
  explicit ClientFolder(const std::string& name, ClientKind kind = ClientKind::Full);
  ~ClientFolder();
  ClientFolder(const ClientFolder&) = delete;
  ClientFolder& operator=(const ClientFolder&) = delete;

  // launcher.ini addresses of a tree of the fixture server.
  void UseTree(const std::string& tree);
  void SetServerListUrls(const std::string& primary, const std::string& backup);
  void SetHttpID(int type);
  void SetLocalVersion(const std::string& version, const std::string& clientVersion);
  // The fake game and updater programs copied in as these names.
  void AddProgram(const std::string& name);
  std::string Record(const std::string& program) const;
  bool VictimIntact() const;
  std::vector<std::string> FilesBelow(const std::string& folder) const;
  // Settings of a web-mode client of its kind with the fake programs.
  UpdateSettings Settings() const;

 private:
  ClientKind m_kind;
  std::string m_root;
  std::string m_previous;
};

// nginx's access log from its construction on: requests per path.
class AccessLog {
 public:
  AccessLog();
  std::map<std::string, int> Counts() const;

 private:
  size_t m_mark;
};

std::string ReadUpdateCfgVersion();

// The rows of an expectation file of the fixture ("expect.txt"), in words.
std::vector<std::vector<std::string>> ExpectLines(const std::string& file);
// A key of the pack <base>.pkg1/<base>.pkg read by a fresh reader;
// "(missing)" or "(unreadable)" when it cannot be.
std::string ReadPackKey(const std::string& base, const std::string& key);
// Checks the client folder and the log against the rows:
//   key <pack> <key> <plain>, nokey <pack> <key>, count <pack> <n>,
//   file <path> <plain>, nofile <path>, fetch <url path> <n>.
void CheckExpectations(const std::vector<std::vector<std::string>>& rows, const AccessLog& log);

}  // namespace enginetest
