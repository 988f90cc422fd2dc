#include "Exception.h"

#include <cstdarg>
#include <cstdio>

#include "StrUtil.h"

namespace Common {

CException::CException() : m_nCode(0) {}

CException::CException(int code, const char* format, ...) : m_nCode(code) {
  va_list args;
  va_start(args, format);
  StrUtil::FormatV(m_strMessage, format, args);
  va_end(args);
}

CException::CException(const CException& other)
    : m_strMessage(other.m_strMessage.c_str()), m_nCode(other.m_nCode) {}

CException& CException::operator=(const CException& other) {
  if (this != &other) {
    m_strMessage.assign(other.m_strMessage.c_str());
    m_nCode = other.m_nCode;
  }
  return *this;
}

CException::~CException() {}

}  // namespace Common
