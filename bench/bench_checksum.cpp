// Throughput of CRC-32, file MD5 and LZMA decoding.
// Usage: bench_checksum DIR. Writes its inputs into DIR so that
// bench/checksum.ref.sh reads the very same bytes: md5.bin (the 256 MB CRC
// buffer, also hashed from the file) and lzma.lzma (our LZMA stream with the
// .lzma header: 5 property bytes, u64 size).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchIo.h"
#include "common/CRC32.h"
#include "common/MD5Checksum.h"
#include "common/Pack/Lzma.h"

namespace {

using benchio::WriteAll;

void Fill(std::vector<uint8_t>& v, uint32_t seed) {
  for (size_t i = 0; i < v.size(); i += 4) {
    seed = seed * 1664525u + 1013904223u;
    memcpy(&v[i], &seed, v.size() - i < 4 ? v.size() - i : 4);
  }
}

// Half text-like runs, half noise: compresses like client files.
std::vector<uint8_t> Mixed(size_t size) {
  static const char* words[] = {"texture ", "model ", "\xd6\xd0\xce\xc4", "data/", "0123", "\n"};
  std::vector<uint8_t> out;
  out.reserve(size);
  uint32_t seed = 7;
  while (out.size() < size) {
    seed = seed * 1664525u + 1013904223u;
    if (seed >> 31) {
      const char* w = words[(seed >> 8) % 6];
      out.insert(out.end(), w, w + strlen(w));
    } else {
      for (uint32_t n = (seed >> 8) % 48 + 1; n > 0; --n) {
        seed = seed * 1664525u + 1013904223u;
        out.push_back(static_cast<uint8_t>(seed >> 24));
      }
    }
  }
  out.resize(size);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_checksum DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  const size_t mb = 1 << 20;

  std::vector<uint8_t> buffer(256 * mb);
  Fill(buffer, 1);
  double t0 = benchio::Now();
  uint32_t crc = Crypto::CCRC32().Calc(buffer.data(), static_cast<uint32_t>(buffer.size()));
  double crcTime = benchio::Now() - t0;
  printf("crc32: ours %.1f MB/s (crc %08x)\n", 256 / crcTime, crc);
  if (!WriteAll(dir + "/md5.bin", buffer.data(), buffer.size())) return 1;
  buffer.clear();
  buffer.shrink_to_fit();

  t0 = benchio::Now();
  CString digest = CMD5Checksum::GetFileMD5((dir + "/md5.bin").c_str());
  double md5Time = benchio::Now() - t0;
  printf("md5: ours %.1f MB/s (%s)\n", 256 / md5Time, static_cast<const char*>(digest));

  std::vector<uint8_t> plain = Mixed(50 * mb);
  std::vector<uint8_t> packed(Lzma_CompressBound(plain.size()));
  size_t packedSize = packed.size(), propsSize = 5;
  uint8_t props[5];
  if (!Lzma_Compress(packed.data(), &packedSize, plain.data(), plain.size(), props, &propsSize)) return 1;
  // The reference decoder reads a .lzma file: properties, u64 size, stream.
  std::vector<uint8_t> alone(props, props + 5);
  uint64_t size64 = plain.size();
  alone.insert(alone.end(), reinterpret_cast<uint8_t*>(&size64), reinterpret_cast<uint8_t*>(&size64) + 8);
  alone.insert(alone.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
  if (!WriteAll(dir + "/lzma.lzma", alone.data(), alone.size())) return 1;

  std::vector<uint8_t> out(plain.size());
  t0 = benchio::Now();
  size_t outSize = out.size(), srcSize = packedSize;
  int ok = Lzma_Uncompress(out.data(), &outSize, packed.data(), &srcSize, props);
  double lzTime = benchio::Now() - t0;
  if (!ok || out != plain) {
    fprintf(stderr, "lzma round trip failed\n");
    return 1;
  }
  printf("lzma_decode: ours %.1f MB/s (50 MB mixed, %.1f MB packed)\n", 50 / lzTime, packedSize / double(mb));
  return 0;
}
