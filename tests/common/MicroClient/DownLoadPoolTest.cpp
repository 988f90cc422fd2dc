#include <gtest/gtest.h>

#include <windows.h>

#include "common/HttpDownLoad/HttpConfig.h"
#include "common/HttpDownLoad/HttpDownload.h"
#include "common/HttpDownLoad/HttpGet.h"
#include "common/HttpDownLoad/INetDownLoad.h"
#include "common/MicroClient/DownLoadPool.h"
#include "support/TestSupport.h"

namespace {

int HttpIDInFile() { return GetPrivateProfileIntA("Main", "HttpID", -1, ".\\HTTPCONFIG.ini"); }

struct KeptAlive : IDownLoad {
  int Download(const char*, const char*, void*, uint32_t, uint32_t, int, uint32_t, int, int) override { return 0; }
  bool GetKeepAlive() override { return true; }
  void CloseConnection() override { ++closes; }
  int closes = 0;
};

}  // namespace

// One process, one line setting: the first use creates the file, and each
// saved line decides what an empty pool makes next.
TEST(HttpLine, FirstUseWritesTheDefaultAndSavedLinesPickTheDownloader) {
  DeleteFileA("HTTPCONFIG.ini");
  CHttpConfig* config = CHttpConfig::GetInstance();
  EXPECT_EQ(1, config->m_nHttpID);
  EXPECT_EQ(1, HttpIDInFile());

  DeletePooledDownLoads();
  const struct {
    int line;
    bool (*is)(IDownLoad*);
  } cases[] = {
      {0, [](IDownLoad* d) { return dynamic_cast<CINetDownLoad*>(d) != nullptr; }},
      {1, [](IDownLoad* d) { return dynamic_cast<CHttpGet*>(d) != nullptr; }},
      {7, [](IDownLoad* d) { return dynamic_cast<CHttpDownload*>(d) != nullptr; }},
  };
  for (const auto& c : cases) {
    config->SaveHttpID(c.line);
    IDownLoad* down = AcquirePooledDownLoad();
    ASSERT_NE(nullptr, down);
    EXPECT_TRUE(c.is(down)) << "line " << c.line;
    delete down;
  }
}

TEST(DownLoadPool, FirstInFirstOutAndKeptConnectionsClosed) {
  DeletePooledDownLoads();
  KeptAlive* a = new KeptAlive;
  KeptAlive* b = new KeptAlive;
  ReleasePooledDownLoad(a);
  ReleasePooledDownLoad(b);
  ReleasePooledDownLoad(nullptr);
  EXPECT_EQ(2u, PooledDownLoadCount());
  EXPECT_EQ(1, a->closes);
  EXPECT_EQ(a, AcquirePooledDownLoad());
  EXPECT_EQ(b, AcquirePooledDownLoad());
  EXPECT_EQ(0u, PooledDownLoadCount());
  ReleasePooledDownLoad(a);
  FreeDownLoadPool();  // empties the list, the downloader is still ours
  EXPECT_EQ(0u, PooledDownLoadCount());
  delete a;
  delete b;
}
