#include "LZOCompressor.h"

#include <cstring>

#include "minilzo.h"

namespace {

CLZOCompressor* g_instance = nullptr;

// Shared by every operation; see the header.
unsigned char g_staging[CLZOCompressor::kStagingSize];
lzo_align_t g_workMemory[(LZO1X_1_MEM_COMPRESS + sizeof(lzo_align_t) - 1) / sizeof(lzo_align_t)];

bool LzoReady() {
  static const bool ready = lzo_init() == LZO_E_OK;
  return ready;
}

// Copies the source into the staging area first, as the packet path always has.
const unsigned char* Stage(const char* src, size_t srcLen) {
  memset(g_staging, 0, srcLen);
  memcpy(g_staging, src, srcLen);
  return g_staging;
}

}  // namespace

CLZOCompressor* CLZOCompressor::GetInstance() {
  if (g_instance == nullptr) g_instance = new CLZOCompressor();
  return g_instance;
}

void CLZOCompressor::DeleteInstance() {
  delete g_instance;
  g_instance = nullptr;
}

bool CLZOCompressor::Compress(const char* src, size_t srcLen, char* dest, size_t* compressedLen) {
  if (src == nullptr || dest == nullptr || compressedLen == nullptr || srcLen > kStagingSize || !LzoReady())
    return false;
  lzo_uint out = 0;
  int result = lzo1x_1_compress(reinterpret_cast<const unsigned char*>(src), srcLen,
                                reinterpret_cast<unsigned char*>(dest), &out, g_workMemory);
  if (result != LZO_E_OK || out >= srcLen || out > kMaxCompressed) return false;
  *compressedLen = out;
  return true;
}

bool CLZOCompressor::DecompressSafe(const char* src, size_t srcLen, char* dest, size_t* len) {
  if (src == nullptr || dest == nullptr || len == nullptr || srcLen > kStagingSize || !LzoReady()) return false;
  lzo_uint out = *len;
  int result = lzo1x_decompress_safe(Stage(src, srcLen), srcLen, reinterpret_cast<unsigned char*>(dest), &out,
                                     nullptr);
  if (result != LZO_E_OK) return false;
  *len = out;
  return true;
}

bool CLZOCompressor::DecompressFast(const char* src, size_t srcLen, char* dest, size_t* len) {
  if (src == nullptr || dest == nullptr || len == nullptr || srcLen > kStagingSize || !LzoReady()) return false;
  lzo_uint out = 0;
  int result = lzo1x_decompress(Stage(src, srcLen), srcLen, reinterpret_cast<unsigned char*>(dest), &out, nullptr);
  if (result != LZO_E_OK) return false;
  *len = out;
  return true;
}
