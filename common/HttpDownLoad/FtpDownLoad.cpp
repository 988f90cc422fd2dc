#include "FtpDownLoad.h"

namespace FTP {

CFtpDownLoad::CFtpDownLoad() : m_control(INVALID_SOCKET), m_data(INVALID_SOCKET), m_stop(false) {
  WSADATA data;
  m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CFtpDownLoad::~CFtpDownLoad() {
  m_stop = true;
  if (m_control != INVALID_SOCKET && m_control != 0) {
    static const char kQuit[] = "QUIT\r\n";  // with its terminating zero: 7 bytes
    send(m_control, kQuit, sizeof(kQuit), 0);
  }
  if (m_control != INVALID_SOCKET) closesocket(m_control);
  if (m_data != INVALID_SOCKET) closesocket(m_data);
  m_control = m_data = INVALID_SOCKET;
  if (m_started) WSACleanup();
}

}  // namespace FTP
