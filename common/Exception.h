// The exception type of our own code: an integer code and a formatted message.
#pragma once
#include <string>

namespace Common {

class CException {
 public:
  CException();
  CException(int code, const char* format, ...);
  CException(const CException& other);
  CException& operator=(const CException& other);
  virtual ~CException();

  std::string m_strMessage;
  int m_nCode;
};

}  // namespace Common
