#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "LauncherIni.h"
#include "LauncherTestUtil.h"
#include "ServerList.h"
#include "ServerListLoad.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/ServerListPak.h"

using LauncherCfg::GetLauncherIni;
using LauncherCfg::GetServerListTables;
using LauncherCfg::ServerListTables;
using launchertest::CopyFixture;
using testsupport::ReadFileBytes;

namespace {

const char kIniMicro[] = "http://127.0.0.1/ini";

// The package as the update thread has it: split in the patch folder, with
// launcher.ini already loaded.
bool LoadPackage(const std::string& name) {
  launchertest::FreshDir("PatchTemp");
  if (!CopyFixture("slp/" + name + ".pak", "PatchTemp/serverlist.pak") ||
      !PackClient::SplitServerListPak("PatchTemp/serverlist.pak"))
    return false;
  testsupport::WriteFileBytes("launcher.ini", std::string("[Default]\r\nMicroClientURL=") + kIniMicro + "\r\n");
  GetLauncherIni().microClientUrl = std::string(kIniMicro) + "/";
  return LoadServerListFiles("PatchTemp/serverlist");
}

std::string IniMicroClientUrl() {
  char buffer[512];
  GetPrivateProfileStringA("Default", "MicroClientURL", "", buffer, sizeof buffer, ".\\launcher.ini");
  return buffer;
}

}  // namespace

TEST(ServerList, LoadsEveryTableOfThePackage) {
  for (const char* name : {"good", "stored"}) {
    ASSERT_TRUE(LoadPackage(name)) << name;
    const ServerListTables& t = GetServerListTables();

    ASSERT_EQ(3, GetBigAreaCount());
    EXPECT_FALSE(IsBigAreaListEmpty());
    EXPECT_EQ(1, GetBigAreaAt(0)->Index);
    ASSERT_EQ(2u, GetBigAreaAt(0)->Addresses.size());
    EXPECT_EQ("http://127.0.0.1:18092/patch/", GetBigAreaAt(0)->Addresses[1]);
    EXPECT_EQ("http://127.0.0.1:18094/p\\", GetBigAreaAt(1)->Addresses.at(0));
    EXPECT_TRUE(GetBigAreaAt(2)->Addresses.empty());
    EXPECT_EQ(nullptr, GetBigAreaAt(3));
    EXPECT_EQ(nullptr, GetBigAreaAt(-1));
    ASSERT_EQ(3u, t.backupAreas.size());
    EXPECT_EQ(std::vector<std::string>{"http://127.0.0.1:18093/backup"}, t.backupAreas[0].Addresses);

    ASSERT_EQ(2, GetVersionStepCount());
    const VersionStep* s = GetVersionStepAt(0);
    EXPECT_EQ("1.0.0.3", s->Cur);
    EXPECT_EQ("1.0.0.4", s->Next);
    EXPECT_EQ("1.0.0.4 build 70", s->ShowVer);
    EXPECT_EQ("TRUE", s->NeedPack);
    EXPECT_EQ("FALSE", s->NeedRar);
    EXPECT_EQ("12", s->PatchVer);
    EXPECT_EQ("2e957eb8c030fc2d10de5607715f4c55", s->MD5);
    EXPECT_EQ("c9beacb6d707e14fddcd09b1f39fa0a9", s->MicroClientMD5);
    EXPECT_EQ("FALSE", s->Restart);
    // The element after the first Version counts whatever its name.
    EXPECT_EQ("1.0.0.4", GetVersionStepAt(1)->Cur);
    EXPECT_EQ("TRUE", GetVersionStepAt(1)->Restart);
    EXPECT_EQ("", GetVersionStepAt(1)->MD5);
    EXPECT_EQ(nullptr, GetVersionStepAt(2));
    EXPECT_EQ("1.0.0.5", t.newVersion);
    EXPECT_EQ("1.0.0.5 正式版", t.newShowVersion);

    ASSERT_EQ(3, GetAreaCount());
    const AreaInfo* a = GetAreaAt(0);
    EXPECT_EQ("电信一区", a->name);
    EXPECT_EQ(1, a->index);
    EXPECT_EQ(4, a->resindex);
    ASSERT_EQ(2u, a->servers.size());
    const LoginServerLine& full = a->servers[0];
    EXPECT_EQ("127.0.0.1", full.ip);
    EXPECT_EQ("青龙", full.name);
    EXPECT_EQ(7001, full.port);
    EXPECT_EQ(0, full.recommend);
    EXPECT_EQ(2, full.resindex);
    EXPECT_EQ(1, full.doublelineindex);
    EXPECT_EQ(30001, full.pingport);
    EXPECT_EQ(1, full.line);
    const LoginServerLine& bare = a->servers[1];
    EXPECT_EQ(1, bare.recommend);
    EXPECT_EQ(0, bare.resindex);
    EXPECT_EQ(0, bare.doublelineindex);
    EXPECT_EQ(30000, bare.pingport);
    EXPECT_EQ(0, bare.line);
    EXPECT_EQ("电信一区", GetAreaAt(1)->name);  // no name: the area before's
    EXPECT_EQ(2, GetAreaAt(1)->index);
    EXPECT_EQ(0, GetAreaAt(1)->resindex);
    EXPECT_EQ(0, GetAreaAt(1)->servers.at(0).line);  // line 5
    EXPECT_EQ("网通一区", GetAreaAt(2)->name);
    EXPECT_TRUE(GetAreaAt(2)->servers.empty());

    ASSERT_EQ(3u, t.checksums.size());  // duplicates stay
    EXPECT_EQ("Data/界面.dat", t.checksums[1].name);
    EXPECT_EQ("7d5c009e4eb8bbc78647caeca308e61b", t.checksums[1].md5);
    EXPECT_EQ(t.checksums[0].name, t.checksums[2].name);

    ASSERT_EQ(6u, t.needDownloads.size());
    struct Flag {
      const char* name;
      bool comp;
    } flags[] = {{"a.dll", false}, {"b.dll", false}, {"c.dll", false}, {"d.dll", true},
                 {"e.dll", false}, {"A.DLL", false}, {"zz", false}};
    for (const Flag& f : flags) EXPECT_EQ(f.comp, GetNeedDownloadFlag(f.name)) << f.name;
    EXPECT_FALSE(GetNeedDownloadFlag(nullptr));

    // Version.xml's address: without "/" in the ini, with it in memory.
    EXPECT_EQ("http://127.0.0.1:18090/micro", IniMicroClientUrl());
    EXPECT_EQ("http://127.0.0.1:18090/micro/", GetLauncherIni().microClientUrl);
    EXPECT_EQ("http://127.0.0.1:18090/micro/1.0.0.5/", t.microClientVersionUrl);
    EXPECT_EQ("http://127.0.0.1:18090/micro/", FilePack::GetMicroClientBaseAddress());
  }
  ClearVersionSteps();
  ClearAreaList();
  EXPECT_EQ(0, GetVersionStepCount());
  EXPECT_EQ(0, GetAreaCount());
}

TEST(ServerList, VariantsLoadOrFailCleanly) {
  const ServerListTables& t = GetServerListTables();
  auto keepsIniAddress = [] {
    EXPECT_EQ(kIniMicro, IniMicroClientUrl());
    EXPECT_EQ(std::string(kIniMicro) + "/", GetLauncherIni().microClientUrl);
  };
  struct Case {
    const char* name;
    bool ok;
    std::function<void()> check;
  } cases[] = {
      {"no_res", true, keepsIniAddress},
      {"hostile_url", true, keepsIniAddress},
      {"long_url", true, keepsIniAddress},
      {"area_without_index", false,
       [&] {
         ASSERT_EQ(2u, t.bigAreas.size());  // the areas before it stay
         EXPECT_EQ(2, t.bigAreas[1].Index);
       }},
      {"no_bigareaip", false,
       [&] {
         EXPECT_TRUE(t.bigAreas.empty());
         EXPECT_EQ("http://127.0.0.1:18090/m2/", GetLauncherIni().microClientUrl);
       }},
      {"no_newshow", true, [&] { EXPECT_EQ("0.0.0.0 build 0", t.newShowVersion); }},
      {"no_newversion", false, [&] { EXPECT_EQ(1u, t.versionSteps.size()); }},
      {"oldversion_comment", true, [&] { EXPECT_TRUE(t.versionSteps.empty()); }},
      {"oldversion_other", true, [&] { EXPECT_TRUE(t.versionSteps.empty()); }},
      {"no_arealist", false, [&] { EXPECT_TRUE(t.areas.empty()); }},
      {"arealist_empty", true, [&] { EXPECT_TRUE(t.areas.empty()); }},
      {"area_wrong_types", true,
       [&] {
         ASSERT_EQ(1u, t.areas.size());
         EXPECT_EQ(0, t.areas[0].index);
         EXPECT_EQ(0, t.areas[0].resindex);
         const LoginServerLine& s = t.areas[0].servers.at(0);
         EXPECT_EQ(0, s.port);
         EXPECT_EQ(0, s.line);
         EXPECT_EQ(30000, s.pingport);
         EXPECT_EQ(1, s.recommend);
       }},
      {"hostile_servers", true,
       [&] {
         ASSERT_EQ(1u, t.areas.size());
         ASSERT_EQ(2u, t.areas[0].servers.size());
         EXPECT_EQ("青龙", t.areas[0].servers[0].name);
         EXPECT_EQ("白虎", t.areas[0].servers[1].name);
       }},
      {"truncated_member", false, [&] { EXPECT_TRUE(t.areas.empty()); }},
      {"nul_in_member", true, [&] { EXPECT_EQ(3u, t.areas.size()); }},
      {"empty_lists", true,
       [&] {
         EXPECT_TRUE(t.checksums.empty());
         EXPECT_TRUE(t.needDownloads.empty());
       }},
      {"missing_member", false,
       [&] {
         EXPECT_EQ(3u, t.checksums.size());
         EXPECT_TRUE(t.needDownloads.empty());
       }},
      {"huge_member", false, [&] { EXPECT_TRUE(t.checksums.empty()); }},
      {"wrap_member", false, [&] { EXPECT_TRUE(t.areas.empty()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ReportCapture reports;
    EXPECT_EQ(c.ok, LoadPackage(c.name));
    c.check();
    std::string name = c.name;
    if (name == "hostile_url" || name == "long_url") {
      EXPECT_TRUE(reports.Contains("下载的地址含有控制字符或太长"));
    }
    if (name == "hostile_servers") {
      EXPECT_EQ(4u, reports.Count());
    }
    if (name == "huge_member" || name == "wrap_member") {
      EXPECT_TRUE(reports.Contains("服务器列表文件太大"));
    }
  }
}

TEST(ServerList, ReadersNeedAnOpenPack) {
  ASSERT_TRUE(LoadPackage("good"));
  FilePack::CFilePackIndexMgr closed;
  EXPECT_FALSE(LoadVersionXml(nullptr));
  EXPECT_FALSE(LoadVersionXml(&closed));
  EXPECT_FALSE(LoadNewVersionXml(&closed));
  EXPECT_FALSE(LoadAreaListXml(&closed));
  EXPECT_FALSE(LoadFileMD5Xml(&closed));
  EXPECT_FALSE(LoadNeedDownloadFileXml(&closed));
  EXPECT_EQ(3, GetBigAreaCount());  // tables untouched
  EXPECT_EQ(3, GetAreaCount());
  EXPECT_FALSE(LoadServerListFiles(nullptr));
  EXPECT_FALSE(LoadServerListFiles("PatchTemp/none"));
}

TEST(ServerList, PackageAddressIsTakenEvenWhenTheIniCannotBeWritten) {
  GetLauncherIni().microClientUrl = std::string(kIniMicro) + "/";
  EXPECT_FALSE(LauncherCfg::ApplyMicroClientUrl("http://127.0.0.1/new", ".\\no_such_dir\\launcher.ini"));
  EXPECT_EQ("http://127.0.0.1/new/", GetLauncherIni().microClientUrl);
  EXPECT_FALSE(LauncherCfg::ApplyMicroClientUrl("http://127.0.0.1/x\r\n", ".\\launcher.ini"));
  EXPECT_EQ("http://127.0.0.1/new/", GetLauncherIni().microClientUrl);
}
