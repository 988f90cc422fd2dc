#include "MD5Checksum.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "afx/AfxFile.h"
#include "common/EngineFun/Helper.h"

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

}  // namespace

CMD5Checksum::CMD5Checksum() {
  memset(m_buffer, 0, sizeof(m_buffer));
  m_count[0] = m_count[1] = 0;
  m_state[0] = 0x67452301;
  m_state[1] = 0xefcdab89;
  m_state[2] = 0x98badcfe;
  m_state[3] = 0x10325476;
}

// Each round as a loop of 16 that the compiler unrolls: the shifts and the
// index become constants and the four-way register shuffle disappears.
#define MD5_ROUND(first, f, g)                                              \
  _Pragma("GCC unroll 16") for (int i = first; i < first + 16; ++i) {      \
    uint32_t sum = a + (f) + kSine[i] + x[(g) & 15];                        \
    a = d;                                                                  \
    d = c;                                                                  \
    c = b;                                                                  \
    b = b + Rotl(sum, kShift[i]);                                           \
  }

void CMD5Checksum::Transform(const uint8_t block[64]) {
  uint32_t x[16];
  memcpy(x, block, sizeof(x));  // little-endian words, as on every target
  uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
  MD5_ROUND(0, d ^ (b & (c ^ d)), i)
  MD5_ROUND(16, c ^ (d & (b ^ c)), 5 * i + 1)
  MD5_ROUND(32, b ^ c ^ d, 3 * i + 5)
  MD5_ROUND(48, c ^ (b | ~d), 7 * i)
  m_state[0] += a;
  m_state[1] += b;
  m_state[2] += c;
  m_state[3] += d;
}

#undef MD5_ROUND

void CMD5Checksum::Update(const uint8_t* input, uint32_t length) {
  uint32_t index = (m_count[0] >> 3) & 0x3F;
  uint32_t bits = length << 3;
  if ((m_count[0] += bits) < bits) ++m_count[1];
  m_count[1] += length >> 29;
  uint32_t part = 64 - index;
  uint32_t i = 0;
  if (length >= part) {
    memcpy(&m_buffer[index], input, part);
    Transform(m_buffer);
    for (i = part; i + 63 < length; i += 64) Transform(&input[i]);
    index = 0;
  }
  memcpy(&m_buffer[index], &input[i], length - i);
}

CString CMD5Checksum::Final() {
  uint8_t bits[8];
  for (int i = 0; i < 8; ++i) bits[i] = static_cast<uint8_t>(m_count[i / 4] >> ((i % 4) * 8));
  uint32_t index = (m_count[0] >> 3) & 0x3F;
  uint32_t padLength = index < 56 ? 56 - index : 120 - index;
  static const uint8_t kPadding[64] = {0x80};
  Update(kPadding, padLength);
  Update(bits, 8);
  char text[33];
  for (int i = 0; i < 16; ++i) {
    uint8_t byte = static_cast<uint8_t>(m_state[i / 4] >> ((i % 4) * 8));
    snprintf(text + i * 2, 3, "%02x", byte);
  }
  return CString(text);
}

CString CMD5Checksum::GetBufferMD5(const uint8_t* data, uint32_t length) {
  CMD5Checksum md5;
  if (data != nullptr && length != 0) md5.Update(data, length);
  return md5.Final();
}

CString CMD5Checksum::GetFileMD5(const char* path) {
  try {
    CFile file(path, CFile::modeRead | CFile::typeBinary | CFile::shareDenyWrite);
    CMD5Checksum md5;
    // Large reads: a read call costs far more than hashing 1 KiB under Wine.
    std::vector<uint8_t> block(64 * 1024);
    UINT got;
    while ((got = file.Read(block.data(), static_cast<UINT>(block.size()))) > 0) md5.Update(block.data(), got);
    return md5.Final();
  } catch (CFileException* e) {
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "MD5:文件读取失败:%s,错误:%ld",
                                       path ? path : "", e->m_lOsError);
    e->Delete();
    return CString();
  }
}
