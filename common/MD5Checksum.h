// MD5 (RFC 1321) of files and buffers as 32 lower-case hex digits.
#pragma once
#include <cstdint>

#include "afx/AfxString.h"

class CMD5Checksum {
 public:
  CMD5Checksum();
  virtual ~CMD5Checksum() {}

  // Empty when the file cannot be opened or read (reported): never equal to
  // a digest, so the caller treats the file as bad.
  static CString GetFileMD5(const char* path);
  static CString GetBufferMD5(const uint8_t* data, uint32_t length);

  void Update(const uint8_t* input, uint32_t length);
  CString Final();

 private:
  void Transform(const uint8_t block[64]);

  uint8_t m_buffer[64];
  uint32_t m_count[2];
  uint32_t m_state[4];
};
