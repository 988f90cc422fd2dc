// The on-disk records of a pack and the pure code over them: bytes in,
// records out. Every reader and writer of packs goes through here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "Lzma.h"

#pragma pack(push, 1)
// Where one packed file's bytes lie in the data file.
struct PackEntry {
  uint32_t offset;
  uint32_t size;        // unpacked length
  uint32_t packedSize;  // LZMA stream length; 0 in a stored pack
  uint8_t props[5];
  uint8_t padding[3];
};

struct PackIndexRecord {
  PackEntry entry;
  char name[256];  // the key, NUL-terminated
};

struct MicroIndexRecord {
  PackIndexRecord record;
  uint32_t crc;        // CRC-32 of the bytes as served and stored
  char fileName[256];  // download name, or in a .pkg3 the local file
};

struct PackIndexHeader {
  uint32_t count;
  uint32_t reserved;
  uint8_t maskWholeData;
  uint8_t lzma;
};
#pragma pack(pop)

static_assert(sizeof(PackEntry) == 20, "PackEntry is 20 bytes on disk");
static_assert(sizeof(PackIndexRecord) == 276, "PackIndexRecord is 276 bytes on disk");
static_assert(sizeof(MicroIndexRecord) == 536, "MicroIndexRecord is 536 bytes on disk");
static_assert(sizeof(PackIndexHeader) == 10, "PackIndexHeader is 10 bytes on disk");

namespace FilePack {

const uint8_t kRecordKey = 0x5C;
const uint8_t kDataKey = 0xD3;
const size_t kIndexFileHead = 9;  // u32 image length + 5 property bytes
const size_t kResourceRecordFileSize = 540;
const size_t kMaskWindow = 5;
// Largest index image we unpack; a hostile length must not drive an allocation.
const uint32_t kMaxIndexImage = 512u * 1024 * 1024;

// Path key: "\\" to "/", ASCII lower case.
std::string NormalizeKey(const char* path);
// The pack's own name: index path without ".pkg1", normalised.
std::string PackNameOfIndexPath(const char* indexPath);

void XorBytes(uint8_t* data, size_t count, uint8_t key);
// Applies (or removes: the same thing) the data mask to count bytes that sit
// at position pos of a stored file of fileSize bytes.
void MaskStoredBytes(uint8_t* data, size_t count, uint64_t pos, uint32_t fileSize, bool maskWhole);

// Parses an index image; visit gets every record unmasked, in order, and may
// stop the parse by returning false. Reports and returns false on a damaged image.
bool ParsePackIndexImage(const uint8_t* image, size_t length, PackIndexHeader* header,
                         const std::function<bool(const PackIndexRecord&)>& visit);
bool ParseMicroIndexImage(const uint8_t* image, size_t length, PackIndexHeader* header,
                          const std::function<bool(const MicroIndexRecord&)>& visit);

// Image writing: the header, then each record masked.
void AppendIndexHeader(std::string& image, const PackIndexHeader& header);
void AppendMaskedRecord(std::string& image, const void* record, size_t size);
// The image of an empty index for this index path ("sound" packs are stored).
std::string EmptyIndexImage(const char* indexPath);

// Index file <-> image. Unpacking yields exactly the announced length.
bool UnpackIndexFileBytes(const uint8_t* file, size_t length, std::string* image);
bool PackIndexFileBytes(const uint8_t* image, size_t length, std::string* file);

// The stored length of an entry in a pack with this LZMA flag.
inline uint32_t StoredLength(const PackEntry& entry, bool lzma) { return lzma ? entry.packedSize : entry.size; }
// Two entries of one key name the same stored bytes, wherever they lie: a
// merge moves a resource's bytes and keeps them as they are.
inline bool SameStoredBytes(const PackEntry& a, const PackEntry& b, bool lzma) {
  return a.size == b.size &&
         (!lzma || (a.packedSize == b.packedSize && memcmp(a.props, b.props, sizeof(a.props)) == 0));
}
// False for an LZMA entry whose size its packed bytes cannot unpack to: no
// buffer is sized by such an entry.
inline bool PlausibleUnpackedSize(const PackEntry& entry, bool lzma) {
  return !lzma || entry.size <= Lzma_MaxUnpackedSize(entry.packedSize);
}
// Decodes an entry's packedSize bytes to exactly its size bytes.
bool UnpackEntryBytes(const PackEntry& entry, const uint8_t* packed, uint8_t* out);

// .pkg3 resource records: CRC-32 of the masked record, then the record masked.
void EncodeResourceRecord(const MicroIndexRecord& record, uint8_t (&out)[kResourceRecordFileSize]);
bool DecodeResourceRecord(const uint8_t* file, size_t length, MicroIndexRecord* record);

// Names used when files are replaced.
std::string NewIndexName(const char* base);  // "%s_new%s", ".pkg1"
std::string NewDataName(const char* base);   // "%s_new%s", ".pkg"

// A record's name field is a key only when it ends within its 256 bytes.
bool NameTerminated(const char (&name)[256]);

}  // namespace FilePack
