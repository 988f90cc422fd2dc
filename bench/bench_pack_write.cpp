// bench_pack_write [folder] [data MiB] [index entries]
// Defaults: bench_pack_w 64 20000. Writes its inputs into the folder, then
// prints
//   compact: ours <ms> ms      (CompactPack of a stored pack with gaps)
//   merge_pack: ours <ms> ms   (MergePack of that pack into an empty one)
//   index_save: ours <ms> ms   (SaveChanges of an index of that many entries)
// The reference (bench/pack_write.ref.sh) copies data_ref.bin, the same
// data file, with cp (once for each of the first two) and packs
// index_image.bin, the saved image, with xz --format=lzma -5.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchPackInputs.h"
#include "common/Pack/FilePackIndexMgr.h"

using namespace FilePack;
using benchpack::AddRecord;
using benchpack::Now;
using benchpack::WriteAll;
using benchpack::WriteIndex;

namespace {

const uint32_t kFileSize = 1u << 20;
const uint32_t kGap = 64u << 10;

// A stored pack of count 1 MiB files, each followed by a gap.
bool BuildGappedPack(const std::string& dir, int count) {
  std::string data, image;
  AppendIndexHeader(image, PackIndexHeader{static_cast<uint32_t>(count), 0, 0, 0});
  uint32_t x = 12345;
  for (int i = 0; i < count; ++i) {
    PackEntry entry = {};
    entry.offset = static_cast<uint32_t>(data.size());
    entry.size = kFileSize;
    for (uint32_t n = 0; n < kFileSize + kGap; ++n) {
      x = x * 1103515245u + 12345u;
      data += static_cast<char>(x >> 16);
    }
    AddRecord(image, "data/bench/" + std::to_string(i) + ".bin", entry);
  }
  return WriteAll(dir + "/compact.pkg", data) && WriteIndex(dir + "/compact.pkg1", image) &&
         WriteAll(dir + "/src.pkg", data) && WriteIndex(dir + "/src.pkg1", image) &&
         WriteAll(dir + "/data_ref.bin", data) && WriteAll(dir + "/dst.pkg", "") &&
         WriteIndex(dir + "/dst.pkg1", std::string("\0\0\0\0\0\0\0\0\0\0", 10));
}

bool BuildIndex(const std::string& dir, uint32_t entries) {
  std::string image = benchpack::SyntheticIndexImage(entries);
  return WriteIndex(dir + "/index.pkg1", image) && WriteAll(dir + "/index.pkg", "");
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "bench_pack_w";
  int dataMiB = argc > 2 ? atoi(argv[2]) : 64;
  uint32_t entries = argc > 3 ? static_cast<uint32_t>(atoi(argv[3])) : 20000;
  CreateDirectoryA(dir.c_str(), nullptr);
  if (!BuildGappedPack(dir, dataMiB) || !BuildIndex(dir, entries)) {
    fprintf(stderr, "bench_pack_write: cannot write the inputs in %s\n", dir.c_str());
    return 1;
  }
  CFilePackIndexMgr packed;
  if (!packed.OpenPack((dir + "/compact.pkg1").c_str(), (dir + "/compact.pkg").c_str(), true)) return 1;
  double start = Now();
  if (!packed.CompactPack()) return 1;
  printf("compact: ours %.1f ms\n", (Now() - start) * 1000);

  start = Now();
  if (!CFilePackIndexMgr::MergePack(nullptr, (dir + "/src.pkg1").c_str(), (dir + "/src.pkg").c_str(),
                                    (dir + "/dst.pkg1").c_str(), (dir + "/dst.pkg").c_str(), false))
    return 1;
  printf("merge_pack: ours %.1f ms\n", (Now() - start) * 1000);

  CFilePackIndexMgr index;
  if (!index.OpenPack((dir + "/index.pkg1").c_str(), (dir + "/index.pkg").c_str(), true)) return 1;
  index.DeleteFile("data/world/area0/model_0.mdl2");
  start = Now();
  if (!index.SaveChanges()) return 1;
  printf("index_save: ours %.1f ms\n", (Now() - start) * 1000);
  std::string image;
  if (!index.LoadIndexFile((dir + "/index.pkg1").c_str(), true, &image) || !WriteAll(dir + "/index_image.bin", image))
    return 1;
  return 0;
}
