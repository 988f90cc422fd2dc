// bench_patch_apply [folder] [files] [KiB per file] [loose list entries]
// Defaults: bench_patch 2000 100 0 (about 200 MB). Writes a client with empty
// data packs and a downloaded patch whose files are a fifth loose files in
// "temppack" and the rest entries of four data packs, plus the same files
// plainly under ref_files/ for the reference; then prints
//   patch_apply: ours <s> s
// for unpacking the patch, writing its loose files and merging its packs.
// bench/patch_apply.ref.sh copies ref_files/ with cp -r. Loose list entries
// (the client program, named again and again) lengthen the version list;
// with any, it also prints
//   patch_apply_loose: ours <s> s
// for the merge step alone, which walks them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchPackInputs.h"
#include "common/Pack/ApplyPack.h"
#include "common/Pack/FilePackIndexMgr.h"
#include "common/Pack/PackClient.h"

using namespace FilePack;
using benchpack::FileBytes;
using benchpack::Now;
using benchpack::WriteAll;

namespace {

const char* const kPacks[] = {"data/006", "data/007", "data/008", "data/005"};

// A stored pack being built in memory.
struct PackBuild {
  std::string data, image;
  uint32_t count = 0;

  void Add(const std::string& key, std::string plain) {
    PackIndexRecord record = {};
    record.entry.offset = static_cast<uint32_t>(data.size());
    record.entry.size = static_cast<uint32_t>(plain.size());
    snprintf(record.name, sizeof(record.name), "%s", key.c_str());
    MaskStoredBytes(reinterpret_cast<uint8_t*>(&plain[0]), plain.size(), 0, record.entry.size, false);
    data += plain;
    AppendMaskedRecord(image, &record, sizeof(record));
    ++count;
  }
  bool IndexFile(std::string* file) const {
    std::string whole;
    AppendIndexHeader(whole, PackIndexHeader{count, 0, 0, 0});
    whole += image;
    return PackIndexFileBytes(reinterpret_cast<const uint8_t*>(whole.data()), whole.size(), file);
  }
  bool Write(const std::string& base) const {
    std::string index;
    return IndexFile(&index) && WriteAll(base + ".pkg", data) && WriteAll(base + ".pkg1", index);
  }
};

bool BuildInputs(const std::string& dir, int files, size_t fileSize, int loose) {
  CreateDirectoryA((dir + "/client").c_str(), nullptr);
  CreateDirectoryA((dir + "/client/data").c_str(), nullptr);
  CreateDirectoryA((dir + "/ref_files").c_str(), nullptr);
  PackBuild temp, outer, packs[4];
  std::string list = "<VersionInfo><FileList>";
  for (int i = 0; i < loose; ++i) list += "<File>zarn_client.exe<Size>1</Size></File>";
  std::vector<std::string> packLists(4);
  for (int i = 0; i < files; ++i) {
    std::string plain = FileBytes(static_cast<uint32_t>(i), fileSize);
    std::string name = "f" + std::to_string(i) + ".bin";
    if (!WriteAll(dir + "/ref_files/" + name, plain)) return false;
    if (i % 5 == 0) {
      temp.Add("loose/" + name, plain);
    } else {
      int p = i % 4;
      packs[p].Add("data/bench/" + name, plain);
      packLists[p] += "<File>data/bench/" + name + "<Crc>1</Crc></File>";
    }
  }
  for (int p = 0; p < 4; ++p) {
    list += std::string("<PackFolder>") + kPacks[p] + ".pkg" + packLists[p] + "</PackFolder>";
    if (!PackBuild().Write(dir + "/client/" + kPacks[p])) return false;
  }
  temp.Add("versioninfo_1.xml", list + "</FileList></VersionInfo>");
  std::string index;
  if (!temp.IndexFile(&index)) return false;
  outer.Add("temppack.pkg", temp.data);
  outer.Add("temppack.pkg1", index);
  for (int p = 0; p < 4; ++p) {
    if (!packs[p].IndexFile(&index)) return false;
    outer.Add(std::string(kPacks[p]) + ".pkg", packs[p].data);
    outer.Add(std::string(kPacks[p]) + ".pkg1", index);
  }
  CreateDirectoryA((dir + "/client/launchercfg").c_str(), nullptr);
  CreateDirectoryA((dir + "/client/launchercfg/patchtemp").c_str(), nullptr);
  return outer.Write(dir + "/client/launchercfg/patchtemp/version");
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "bench_patch";
  int files = argc > 2 ? atoi(argv[2]) : 2000;
  size_t fileSize = static_cast<size_t>(argc > 3 ? atoi(argv[3]) : 100) * 1024;
  int loose = argc > 4 ? atoi(argv[4]) : 0;
  CreateDirectoryA(dir.c_str(), nullptr);
  if (files <= 0 || loose < 0 || !BuildInputs(dir, files, fileSize, loose)) {
    fprintf(stderr, "bench_patch_apply: could not write the inputs\n");
    return 1;
  }
  if (!SetCurrentDirectoryA((dir + "/client").c_str())) return 1;
  PackClient::FillPackPairsA();
  PackClient::OpenAllPacks(false, false);
  const char* p = "LauncherCfg/PatchTemp\\Version";
  std::vector<PackClient::FileEntry> list;
  double start = Now();
  bool ok = PackClient::ApplyTempPack(p, &list);
  double merging = Now();
  ok = ok && PackClient::MergeFilesIntoPacks(p, &list, false);
  double end = Now();
  PackClient::CloseAllPacks();
  if (!ok) {
    fprintf(stderr, "bench_patch_apply: the patch did not apply\n");
    return 1;
  }
  printf("patch_apply: ours %.2f s\n", end - start);
  if (loose > 0) printf("patch_apply_loose: ours %.2f s\n", end - merging);
  return 0;
}
