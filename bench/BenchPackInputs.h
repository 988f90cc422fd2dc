// Inputs shared by the pack benchmarks.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/Pack/PackFormat.h"

namespace benchpack {

inline double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

inline void AddRecord(std::string& image, const std::string& key, const PackEntry& entry) {
  PackIndexRecord record = {};
  record.entry = entry;
  snprintf(record.name, sizeof(record.name), "%s", key.c_str());
  FilePack::AppendMaskedRecord(image, &record, sizeof(record));
}

// An LZMA pack's index image of entries client-like names.
inline std::string SyntheticIndexImage(uint32_t entries) {
  std::string image;
  FilePack::AppendIndexHeader(image, PackIndexHeader{entries, 0, 0, 1});
  PackEntry entry = {};
  for (uint32_t i = 0; i < entries; ++i) {
    entry.offset = i * 4096;
    entry.size = 4096 + i % 977;
    entry.packedSize = 1000 + i % 3001;
    AddRecord(image, "data/world/area" + std::to_string(i % 97) + "/model_" + std::to_string(i) + ".mdl2", entry);
  }
  return image;
}

}  // namespace benchpack
