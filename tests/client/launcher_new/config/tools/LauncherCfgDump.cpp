// launcher_cfg_dump FOLDER: prints the launcher's tables as they load from an
// installation folder (launcher.ini, HTTPCONFIG.ini, LauncherCfg/UpdateCfg.xml,
// LauncherCfg/config.xml, the layout in LauncherCfg/010.pkg, serverlist.pak),
// in UTF-8. Nothing in FOLDER is written; the package is split in a temp folder.
#include <windows.h>

#include <cstdio>
#include <string>

#include "FatalExit.h"
#include "LauncherIni.h"
#include "LauncherText.h"
#include "Layout.h"
#include "ServerList.h"
#include "ServerListLoad.h"
#include "UpdateCfg.h"
#include "UserConfig.h"
#include "common/EngineFun/ReportSink.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/ServerListPak.h"
#include "common/Pack/XmlLoad.h"
#include "tinyxml.h"

namespace {

std::string Utf8(const std::string& gbk) {
  if (gbk.empty()) return gbk;
  int wide = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), &w[0], wide);
  int narrow = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
  return out;
}

// Converted texts live in a ring, enough for the longest printf line.
const char* U(const std::string& gbk) {
  static std::string ring[16];
  static int next = 0;
  next = (next + 1) % 16;
  ring[next] = Utf8(gbk);
  return ring[next].c_str();
}

void PrintReport(const char* text) { fprintf(stderr, "report: %s\n", U(text != nullptr ? text : "")); }

int PrintBox(HWND__*, const char* text, const char* caption, unsigned) {
  printf("box [%s] %s\n", U(caption != nullptr ? caption : ""), U(text != nullptr ? text : ""));
  return IDOK;
}

void PrintEnd(int code) { printf("end %d\n", code); }

void Heading(const char* name) { printf("\n== %s\n", name); }

void DumpIni(const std::string& dir) {
  Heading("launcher.ini [Default]");
  LauncherCfg::LauncherIniSettings ini;
  LauncherCfg::ReadLauncherIni((dir + "\\launcher.ini").c_str(), &ini, false);
  printf("LauncherCfg %s\nURL %s\nBackURL %s\nMicroClientURL %s\nbrowser %s\n", U(ini.launcherCfg), U(ini.url),
         U(ini.backUrl), U(ini.microClientUrl), U(ini.browser));
  LauncherCfg::GetLauncherIni() = ini;
  Heading("HTTPCONFIG.ini [Main]");
  printf("HttpID %u\n", GetPrivateProfileIntA("Main", "HttpID", 1, (dir + "\\HTTPCONFIG.ini").c_str()));
}

void PrintRect(const char* name, const LauncherCfg::LayoutRect& r) {
  printf("%s %d, %d, %d, %d\n", name, r.left, r.top, r.right, r.bottom);
}

void PrintPopupButton(const char* name, const LauncherCfg::PopupButton& b) {
  printf("%s image %s tip %s ", name, U(b.image), U(b.tip));
  PrintRect("rect", b.rect);
}

void DumpLayout(const std::string& dir) {
  const std::string& entry = LauncherCfg::GetLauncherIni().launcherCfg;
  Heading(("layout " + entry + " in LauncherCfg/010.pkg").c_str());
  FilePack::CFilePackIndexMgr pack;
  std::string base = dir + "/LauncherCfg/010";
  pack.OpenPack((base + ".pkg1").c_str(), (base + ".pkg").c_str(), false);
  LauncherCfg::LauncherLayout l;
  // The launcher's own reader; its end is only printed here.
  if (!LauncherCfg::LoadLayoutFromPack(&pack, entry.c_str(), nullptr, &l)) {
    printf("layout: unreadable\n");
    return;
  }
  printf("caption %s\nimage %s\nimage2 %s\n", U(l.caption), U(l.image), U(l.image2));
  printf("clientver %d, %d\nserverver %d, %d\ntext %d, %d\n", l.clientVer.x, l.clientVer.y, l.serverVer.x,
         l.serverVer.y, l.text.x, l.text.y);
  PrintRect("refreshver", l.refreshVer);
  PrintRect("refreshtext", l.refreshText);
  for (const LauncherCfg::LayoutFont* f : {&l.font, &l.font2})
    printf("font height %d face %s color %d, %d, %d\n", f->height, U(f->face), f->color.red, f->color.green,
           f->color.blue);
  PrintRect("selectcombo", l.selectCombo);
  for (const LauncherCfg::ButtonStyle& b : l.buttons) {
    printf("button %s image %s tip %s href %s ellipse %d ", U(b.name), U(b.imageFile), U(b.tip), U(b.href),
           b.ellipse ? 1 : 0);
    PrintRect("rect", b.rect);
  }
  for (const LauncherCfg::ProgressBarLayout* p : {&l.progress, &l.progress2})
    printf("progressbar %s at %d, %d text %d, %d\n", U(p->image), p->position.x, p->position.y, p->textPosition.x,
           p->textPosition.y);
  PrintRect("browser", l.browser);
  printf("selectline %s\n", U(l.selectLineImage));
  PrintPopupButton("line exit", l.lineExit);
  PrintPopupButton("line auto", l.lineAuto);
  PrintPopupButton("line telecom", l.lineTelecom);
  PrintPopupButton("line netcom", l.lineNetcom);
  printf("agreement %s href %s ", U(l.agreementImage), U(l.agreementHref));
  PrintRect("rect", l.agreementRect);
  PrintPopupButton("agree", l.agreeButton);
  PrintPopupButton("disagree", l.disagreeButton);
  printf("exename %s\nsetexename %s\nemergencyexename %s\n", U(l.exeName), U(l.setExeName), U(l.emergencyExeName));
  for (int32_t id = 0; id < 100; ++id)
    if (GetLauncherTextTable().Has(id)) printf("text %d %s\n", id, U(GetLauncherTextTable().Get(id)));
}

void DumpUpdateCfg(const std::string& dir) {
  Heading("LauncherCfg/UpdateCfg.xml");
  TiXmlDocument doc;
  LoadXmlDocument(doc, (dir + "/LauncherCfg/UpdateCfg.xml").c_str());
  LauncherCfg::UpdateCfg cfg;
  std::string error;
  if (!LauncherCfg::ParseUpdateCfg(doc, &cfg, &error)) {
    printf("UpdateCfg.xml: unreadable: %s\n", U(error));
    return;
  }
  printf("Version %s\nClientVersion %s\nPatchVer %s\nsuper var %d var1 %d\n", U(cfg.version), U(cfg.clientVersion),
         U(cfg.patchVer), cfg.superVar ? 1 : 0, cfg.superVar1 ? 1 : 0);
}

void DumpUserConfig(const std::string& dir) {
  Heading("LauncherCfg/config.xml");
  LauncherCfg::UserConfig c;
  if (!LauncherCfg::LoadUserConfigFile((dir + "/LauncherCfg/config.xml").c_str(), &c)) {
    printf("config.xml: unreadable (defaults below)\n");
  }
  printf("bigarea %d serverindex %d server %s agree %d\n", c.bigArea, c.serverIndex, U(c.serverName), c.agree);
  printf("control mode %d\nsmallmap scale %f\nplayer %d %s\n", c.controlMode, c.smallMapScale, c.playerIndex,
         U(c.playerName));
  printf("MicroClient open %d web %d line %d\n", c.microClientOpen ? 1 : 0, c.webMode ? 1 : 0, c.line);
}

template <typename Parse>
bool Member(FilePack::CFilePackIndexMgr* pack, const char* name, Parse parse) {
  TiXmlDocument doc;
  bool ok = LauncherCfg::ReadServerListMember(pack, name, &doc) && parse(doc);
  if (!ok) printf("%s: unreadable\n", name);
  return ok;
}

void DumpServerListMembers(FilePack::CFilePackIndexMgr* pack) {
  Member(pack, "Version.xml", [](const TiXmlDocument& doc) {
    LauncherCfg::VersionXml v;
    bool ok = LauncherCfg::ParseVersionXml(doc, &v);
    if (v.hasUrl) printf("res url %s\n", U(v.url));
    for (const BigAreaAddress& a : v.addresses) {
      printf("BigArea %d:", a.Index);
      for (const std::string& address : a.Addresses) printf(" %s", U(address));
      printf("\n");
    }
    for (const BigAreaAddress& a : v.backup) {
      printf("backup:");
      for (const std::string& address : a.Addresses) printf(" %s", U(address));
      printf("\n");
    }
    return ok;
  });
  Member(pack, "NewVersion.xml", [](const TiXmlDocument& doc) {
    std::vector<VersionStep> steps;
    std::string newest, show;
    bool ok = LauncherCfg::ParseNewVersionXml(doc, &steps, &newest, &show);
    for (const VersionStep& s : steps)
      printf("VersionStep %s -> %s show %s pack %s rar %s PatchVer %s MD5 %s micro %s restart %s\n", U(s.Cur),
             U(s.Next), U(s.ShowVer), U(s.NeedPack), U(s.NeedRar), U(s.PatchVer), U(s.MD5), U(s.MicroClientMD5),
             U(s.Restart));
    printf("NewVersion %s\nNewShowVersion %s\n", U(newest), U(show));
    return ok;
  });
  Member(pack, "AreaList.xml", [](const TiXmlDocument& doc) {
    std::vector<AreaInfo> areas;
    bool ok = LauncherCfg::ParseAreaListXml(doc, &areas);
    for (const AreaInfo& a : areas) {
      printf("Area %d %s resindex %d\n", a.index, U(a.name), a.resindex);
      for (const LoginServerLine& s : a.servers)
        printf("  Loginserver %s:%d %s recommend %d resindex %d doubleline %d pingport %d line %d\n", U(s.ip), s.port,
               U(s.name), s.recommend, s.resindex, s.doublelineindex, s.pingport, s.line);
    }
    return ok;
  });
  Member(pack, "FileMD5.xml", [](const TiXmlDocument& doc) {
    std::vector<FileChecksumEntry> rows;
    bool ok = LauncherCfg::ParseFileMD5Xml(doc, &rows);
    for (const FileChecksumEntry& r : rows) printf("md5 %s %s\n", U(r.name), U(r.md5));
    return ok;
  });
  Member(pack, "needdownloadfile.xml", [](const TiXmlDocument& doc) {
    std::vector<NeedDownloadEntry> rows;
    bool ok = LauncherCfg::ParseNeedDownloadXml(doc, &rows);
    for (const NeedDownloadEntry& r : rows) printf("needdownload %s comp %d\n", U(r.name), r.comp ? 1 : 0);
    return ok;
  });
}

void DumpServerList(const std::string& dir) {
  Heading("serverlist.pak");
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string work = std::string(temp) + "launcher_cfg_dump_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(work.c_str(), nullptr);
  std::string pak = work + "\\serverlist.pak";
  if (!CopyFileA((dir + "\\serverlist.pak").c_str(), pak.c_str(), FALSE) ||
      !PackClient::SplitServerListPak(pak.c_str())) {
    printf("serverlist.pak: unreadable\n");
  } else {
    FilePack::CFilePackIndexMgr pack;
    if (pack.OpenPack((work + "\\serverlist.pkg1").c_str(), (work + "\\serverlist.pkg").c_str(), false))
      DumpServerListMembers(&pack);
    else
      printf("serverlist.pak: unreadable pack\n");
    pack.Close(false);
  }
  for (const char* name : {"\\serverlist.pak", "\\serverlist.pkg", "\\serverlist.pkg1"})
    DeleteFileA((work + name).c_str());
  RemoveDirectoryA(work.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: launcher_cfg_dump FOLDER\n");
    return 2;
  }
  EngineFunc::SetReportHook(&PrintReport);
  EngineFunc::SetMessageBoxHook(&PrintBox);
  LauncherCfg::SetEndProcessHook(&PrintEnd);
  std::string dir = argv[1];
  DumpIni(dir);
  DumpLayout(dir);  // first: the other files' messages are layout texts
  DumpUpdateCfg(dir);
  DumpUserConfig(dir);
  DumpServerList(dir);
  return 0;
}
