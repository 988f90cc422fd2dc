// Names to caller data, ignoring ASCII case, through a 32-bit hash id.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

class MapStrToID {
 public:
  explicit MapStrToID(bool allowDuplicates = false) : m_allowDuplicates(allowDuplicates ? 1 : 0) {}
  ~MapStrToID() { Clear(); }
  MapStrToID(const MapStrToID&) = delete;
  MapStrToID& operator=(const MapStrToID&) = delete;

  // sum of the lowered bytes | ((length * 256 | their 16-bit xor) << 16)
  static uint32_t GenID(const char* name);
  void* Find(const char* name) const;
  // The id, or 0 when the name is already there (the first entry wins).
  int Insert(const char* name, void* data);
  void Clear();

 private:
  struct Pair {
    char* name;
    void* data;
  };
  std::map<uint32_t, std::vector<Pair>> m_buckets;
  uint8_t m_allowDuplicates;
};
