#include "PingRegistration.h"

#include <windows.h>

#include "ServerListIni.h"
#include "UpdateContext.h"
#include "common/EngineFun/Helper.h"

namespace {

const size_t kLineBuffer = 259;

void OnPingFinished(void* context) { static_cast<UpdateContext*>(context)->pingDone = true; }

uint16_t Low16(int32_t value) { return static_cast<uint16_t>(value & 0xFFFF); }

}  // namespace

std::vector<ServerEntry> PingRowsOfAreas(const std::vector<AreaInfo>& areas) {
  std::vector<ServerEntry> rows;
  for (const AreaInfo& area : areas) {
    for (const LoginServerLine& server : area.servers) {
      ServerEntry row;
      row.kind = "server";
      row.state = "normal";
      row.name = server.name;
      row.ip = server.ip;
      row.areaIndex = Low16(area.index);
      row.recommend = Low16(server.recommend);
      row.port = Low16(server.port);
      row.resindex = Low16(server.resindex);
      row.doublelineindex = Low16(server.doublelineindex);
      row.pingport = Low16(server.pingport);
      rows.push_back(row);
    }
  }
  return rows;
}

void RegisterPingServers(UpdateContext& run) {
  run.pingDone = false;
  ServerList& list = GetServerList();
  list.ReplaceRows(PingRowsOfAreas(run.Tables().areas));
  list.SetCompletion(&OnPingFinished, &run);
  if (!run.StartThread(GetPingThreadProc(), &list)) run.pingDone = true;
}

void WaitForPingDone(UpdateContext& run) {
  while (!run.pingDone && !run.quitting) Sleep(100);
}

std::vector<std::string> WebServerListLines(const std::vector<AreaInfo>& areas, int area, int line) {
  std::vector<std::string> lines;
  for (const AreaInfo& info : areas) {
    if (info.index != area) continue;
    for (const LoginServerLine& s : info.servers) {
      int sixth = s.doublelineindex;
      if (line != 0 && s.doublelineindex != 0) {
        if (s.line != line) continue;
        sixth = 0;
      }
      char text[kLineBuffer];
      if (EngineFunc::EngineFunc_Sprintf(text, sizeof(text), "node server normal %s %s %d %d %d %d %d\n",
                                         s.name.c_str(), s.ip.c_str(), s.recommend, s.port & 0xFFFF, s.resindex,
                                         sixth, s.pingport) != 1) {
        EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "服务器信息太长:%s", s.name.c_str());
        continue;
      }
      lines.push_back(text);
    }
    break;  // later areas with the same index are ignored
  }
  return lines;
}

bool WriteServerListIni(UpdateContext& run) {
  UpdateSettings settings = run.Settings();
  if (!settings.webMode) return WriteServerListIniFromPingList(GetServerList(), settings.selectedBigArea);
  std::vector<std::string> lines =
      WebServerListLines(run.Tables().areas, settings.selectedBigArea, settings.selectedLine);
  if (lines.empty())
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "服务器列表为空，当前选择线路：%d",
                                       settings.selectedLine);
  return WriteMaskedServerListFile(kServerListIni, lines);
}
