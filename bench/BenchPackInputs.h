// Inputs shared by the pack benchmarks.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/BenchIo.h"
#include "common/Pack/PackFormat.h"

namespace benchpack {

using benchio::Now;
using benchio::WriteAll;

// Text-like bytes that compress about as well as client files.
inline std::string FileBytes(uint32_t seed, size_t size) {
  static const char* words[] = {"texture ", "model ", "data/world/", "0123 ", "\xd6\xd0\xce\xc4", "\n"};
  std::string out;
  out.reserve(size + 16);
  uint32_t x = seed * 2654435761u + 1;
  while (out.size() < size) {
    x = x * 1103515245u + 12345u;
    if ((x >> 16) & 1) {
      out += words[(x >> 8) % 6];
    } else {
      for (int i = 0; i < 8; ++i) out += static_cast<char>((x >> (i * 3)) & 0xFF);
    }
  }
  out.resize(size);
  return out;
}

inline bool WriteIndex(const std::string& path, const std::string& image) {
  std::string file;
  return FilePack::PackIndexFileBytes(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &file) &&
         WriteAll(path, file);
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
