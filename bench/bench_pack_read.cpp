// bench_pack_read [folder] [stored MiB] [lzma MiB] [index entries]
// Defaults: bench_pack 64 32 100000. Writes its inputs into the folder
// (stored.pkg*, lzma.pkg*, index.pkg*, and for the reference tools
// lzma_ref/N.lzma and index.lzma in the .lzma "alone" format), then prints
//   stored_extract: ours <MiB/s> MiB/s
//   lzma_extract: ours <MiB/s> MiB/s
//   index_open: ours <ms> ms
// bench/pack_read.ref.sh does the same work with cat and xz.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/Lzma.h"
#include "BenchPackInputs.h"

using namespace FilePack;
using benchpack::AddRecord;
using benchpack::FileBytes;
using benchpack::Now;
using benchpack::WriteAll;
using benchpack::WriteIndex;

namespace {

const uint32_t kFileSize = 1u << 20;

std::string Alone(const uint8_t* props, uint64_t size, const std::string& stream) {
  std::string out(reinterpret_cast<const char*>(props), 5);
  out.append(reinterpret_cast<const char*>(&size), 8);
  return out + stream;
}

std::string Compress(const std::string& plain, uint8_t (&props)[5]) {
  std::string out(Lzma_CompressBound(plain.size()), '\0');
  size_t destLength = out.size(), propsSize = 5;
  if (!Lzma_Compress(reinterpret_cast<uint8_t*>(&out[0]), &destLength, reinterpret_cast<const uint8_t*>(plain.data()),
                     plain.size(), props, &propsSize))
    return std::string();
  out.resize(destLength);
  return out;
}

// Builds a pack of count 1 MiB files; LZMA streams also go to lzma_ref/.
bool BuildPack(const std::string& dir, const char* name, int count, bool lzma) {
  std::string data, image;
  AppendIndexHeader(image, PackIndexHeader{static_cast<uint32_t>(count), 0, 0, static_cast<uint8_t>(lzma)});
  for (int i = 0; i < count; ++i) {
    std::string plain = FileBytes(static_cast<uint32_t>(i), kFileSize), stored;
    PackEntry entry = {};
    entry.offset = static_cast<uint32_t>(data.size());
    entry.size = kFileSize;
    if (lzma) {
      stored = Compress(plain, entry.props);
      if (stored.empty()) return false;
      entry.packedSize = static_cast<uint32_t>(stored.size());
      if (!WriteAll(dir + "/lzma_ref/" + std::to_string(i) + ".lzma", Alone(entry.props, kFileSize, stored)))
        return false;
    } else {
      MaskStoredBytes(reinterpret_cast<uint8_t*>(&plain[0]), plain.size(), 0, kFileSize, false);
      stored = plain;
    }
    data += stored;
    AddRecord(image, ("data/bench/" + std::to_string(i) + ".bin").c_str(), entry);
  }
  return WriteAll(dir + "/" + name + ".pkg", data) && WriteIndex(dir + "/" + name + ".pkg1", image);
}

bool BuildIndex(const std::string& dir, uint32_t entries) {
  std::string image = benchpack::SyntheticIndexImage(entries);
  uint8_t props[5];
  std::string stream = Compress(image, props);
  return !stream.empty() && WriteIndex(dir + "/index.pkg1", image) && WriteAll(dir + "/index.pkg", "") &&
         WriteAll(dir + "/index.lzma", Alone(props, image.size(), stream));
}

// MiB/s of extracting every entry of the pack to one output file.
double ExtractRate(const std::string& dir, const char* name, int count) {
  CFilePackIndexMgr m;
  if (!m.OpenPack((dir + "/" + name + ".pkg1").c_str(), (dir + "/" + name + ".pkg").c_str(), false)) return -1;
  double start = Now();
  for (int i = 0; i < count; ++i)
    if (!m.ExtractFile(("data/bench/" + std::to_string(i) + ".bin").c_str(), (dir + "/out.bin").c_str())) return -1;
  return count * (kFileSize / 1048576.0) / (Now() - start);
}

// MiB/s of reading every stored entry into memory: the extraction above
// minus the output file's creation and swap.
double ReadRate(const std::string& dir, int count) {
  CFilePackIndexMgr m;
  if (!m.OpenPack((dir + "/stored.pkg1").c_str(), (dir + "/stored.pkg").c_str(), false)) return -1;
  std::vector<uint8_t> buffer(kFileSize + 1);
  double start = Now();
  for (int i = 0; i < count; ++i) {
    PackEntry e;
    if (!m.FindEntry(("data/bench/" + std::to_string(i) + ".bin").c_str(), &e) || !m.ReadEntryData(&e, buffer.data(), true))
      return -1;
  }
  return count * (kFileSize / 1048576.0) / (Now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "bench_pack";
  int storedMiB = argc > 2 ? atoi(argv[2]) : 64;
  int lzmaMiB = argc > 3 ? atoi(argv[3]) : 32;
  uint32_t entries = argc > 4 ? static_cast<uint32_t>(atoi(argv[4])) : 100000;
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "/lzma_ref").c_str(), nullptr);
  if (!BuildPack(dir, "stored", storedMiB, false) || !BuildPack(dir, "lzma", lzmaMiB, true) ||
      !BuildIndex(dir, entries)) {
    fprintf(stderr, "bench_pack_read: cannot write the inputs in %s\n", dir.c_str());
    return 1;
  }
  printf("stored_extract: ours %.1f MiB/s\n", ExtractRate(dir, "stored", storedMiB));
  printf("stored_read: ours %.1f MiB/s\n", ReadRate(dir, storedMiB));
  printf("lzma_extract: ours %.1f MiB/s\n", ExtractRate(dir, "lzma", lzmaMiB));
  CFilePackIndexMgr m;
  double start = Now();
  bool opened = m.OpenPack((dir + "/index.pkg1").c_str(), (dir + "/index.pkg").c_str(), true);
  double ms = (Now() - start) * 1000;
  if (!opened || m.EntryCount() != entries) return 1;
  printf("index_open: ours %.1f ms\n", ms);
  return 0;
}
