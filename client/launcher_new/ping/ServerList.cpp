#include <windows.h>

#include "ServerEntry.h"
#include "ServerListIni.h"

void ServerList::Clear() {
  CSALocker hold(&m_lock);
  m_rows.clear();
}

void ServerList::Add(const ServerEntry& entry) {
  CSALocker hold(&m_lock);
  m_rows.push_back(entry);
}

size_t ServerList::Count() const {
  CSALocker hold(&m_lock);
  return m_rows.size();
}

std::vector<ServerEntry> ServerList::Rows() const {
  CSALocker hold(&m_lock);
  return m_rows;
}

bool ServerList::Row(size_t index, ServerEntry* entry) const {
  CSALocker hold(&m_lock);
  if (index >= m_rows.size()) return false;
  *entry = m_rows[index];
  return true;
}

void ServerList::ReplaceRows(const std::vector<ServerEntry>& rows) {
  CSALocker hold(&m_lock);
  m_rows = rows;
}

bool ServerList::SetPing(size_t index, int32_t ping) {
  CSALocker hold(&m_lock);
  if (index >= m_rows.size()) return false;
  m_rows[index].ping = ping;
  return true;
}

void ServerList::SetCompletion(PingCompletion completion, void* context) {
  CSALocker hold(&m_lock);
  m_completion = completion;
  m_context = context;
}

void ServerList::Complete() {
  PingCompletion completion;
  void* context;
  {
    CSALocker hold(&m_lock);
    completion = m_completion;
    context = m_context;
  }
  if (completion != nullptr) completion(context);
}

ServerList& GetServerList() {
  static ServerList list;
  return list;
}

namespace {
PingThreadProc& InstalledProc() {
  static PingThreadProc proc = &PingWithoutNetwork;
  return proc;
}
}  // namespace

PingThreadProc SetPingThreadProc(PingThreadProc proc) {
  PingThreadProc previous = InstalledProc();
  InstalledProc() = proc != nullptr ? proc : &PingWithoutNetwork;
  return previous;
}

PingThreadProc GetPingThreadProc() { return InstalledProc(); }

unsigned __stdcall PingWithoutNetwork(void* serverList) {
  ServerList* list = static_cast<ServerList*>(serverList);
  if (list == nullptr) return 0;
  SelectFastestPerGroup(*list);
  list->Complete();
  return 0;
}
