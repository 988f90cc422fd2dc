#include <new>

#include "HttpDownload.h"
#include "HttpGet.h"
#include "INetDownLoad.h"
#include "IDownLoad.h"
#include "common/EngineFun/Helper.h"

IDownLoad* CreateDownLoad(int type) {
  IDownLoad* down = nullptr;
  switch (type) {
    case DOWNLOAD_INET: down = new (std::nothrow) CINetDownLoad(); break;
    case DOWNLOAD_HTTPGET: down = new (std::nothrow) CHttpGet(); break;
    default: down = new (std::nothrow) CHttpDownload(); break;
  }
  if (down == nullptr) {
    ENGINE_ASSERT(false && "内存不足");
    return nullptr;
  }
  down->SetRetry(DOWNLOAD_RETRY_LIMITED, 100, 3);
  down->SetTimeouts(10000, 10000, 10000);
  down->SetKeepAlive(false);
  down->Init();
  return down;
}
