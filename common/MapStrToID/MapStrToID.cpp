#include "MapStrToID.h"

#include <cstring>

#include "common/EngineFun/Helper.h"

namespace {

// Only A-Z are lowered; every other byte, 0x80 and above included, is kept
// (a locale's tolower must not fold GBK bytes).
int LowerAscii(char c) {
  int v = static_cast<signed char>(c);
  return v >= 'A' && v <= 'Z' ? v - 'A' + 'a' : v;
}

bool SameIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  return *a == *b;
}

}  // namespace

uint32_t MapStrToID::GenID(const char* name) {
  if (name == nullptr) {
    ENGINE_REPORT("pszName && \"gen id error, name is null\"");
    return 0;
  }
  size_t len = strlen(name);
  if (len > 255) ENGINE_REPORT("nLen <= 255 && \"gen id error, name len too large\"");
  uint32_t sum = 0;
  uint16_t x = 0;
  for (size_t i = 0; i < len; ++i) {
    int c = LowerAscii(name[i]);
    sum += static_cast<uint32_t>(c);
    x = static_cast<uint16_t>(x ^ static_cast<uint16_t>(c));
  }
  return sum | ((static_cast<uint32_t>(len) * 256u | x) << 16);
}

void* MapStrToID::Find(const char* name) const {
  if (name == nullptr) {
    ENGINE_ASSERT(false);
    return nullptr;
  }
  auto bucket = m_buckets.find(GenID(name));
  if (bucket == m_buckets.end()) return nullptr;
  for (const Pair& pair : bucket->second)
    if (SameIgnoringAsciiCase(pair.name, name)) return pair.data;
  return nullptr;
}

int MapStrToID::Insert(const char* name, void* data) {
  if (name == nullptr) {
    ENGINE_ASSERT(false);
    return 0;
  }
  if (!m_allowDuplicates && Find(name) != nullptr) return 0;
  size_t size = strlen(name) + 1;
  char* copy = new char[size];
  if (ENGINE_STRNCPY(copy, size, name) == nullptr) {
    delete[] copy;
    return 0;
  }
  uint32_t id = GenID(name);
  m_buckets[id].push_back({copy, data});
  return static_cast<int>(id);
}

void MapStrToID::Clear() {
  for (auto& bucket : m_buckets)
    for (Pair& pair : bucket.second) delete[] pair.name;
  m_buckets.clear();
}
