// The FTP downloader of the library offers no transfer; the one instance the
// launcher holds only keeps Winsock started for the life of the process and,
// at its end, closes a control connection that nothing here ever opens.
#pragma once
#include <winsock2.h>

namespace FTP {

class CFtpDownLoad {
 public:
  CFtpDownLoad();
  virtual ~CFtpDownLoad();
  CFtpDownLoad(const CFtpDownLoad&) = delete;
  CFtpDownLoad& operator=(const CFtpDownLoad&) = delete;

 private:
  SOCKET m_control;
  SOCKET m_data;
  volatile bool m_stop;
  bool m_started;
};

}  // namespace FTP
