// One open pack: index plus data file, with lookup, read, extract, delete,
// save, compaction, micro-client resources and merges.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "PackFormat.h"
#include "common/Locks.h"

namespace FilePack {

class PackOutFile;
class CFilePackIndexMgr;

// (done, total) of a merge.
typedef void (*PackProgressCallback)(int done, int total);

// One resource for the micro-client downloader to fetch.
struct MicroDownloadItem {
  int typeCode = 9;             // the owning pack's number
  std::string address;          // download base + "/" + micro record file name
  std::string resourceName;     // as the caller gave it
  int offset = 0;               // the micro record's offset
  int size = 0;                 // download size
  CFilePackIndexMgr* owner = nullptr;
};

// Locks of one manager, always taken in this order, never the reverse:
//  1. the manager's own section (the CSemiAutoIntLock base): one changing
//     operation at a time (open, close, save, compaction, loading the micro
//     index, accepting a downloaded resource);
//  2. m_stateLock, a reader/writer lock over everything the operations
//     share: the data handle, the header flags, every index and map. Lookups
//     and reads hold it shared for their whole use and hand out copies;
//     changes hold it exclusive only to swap prepared state in.
// A thread holds at most one hold of m_stateLock (it is not recursive) and
// takes no other lock under it, so public members never call each other
// while holding it; the *Locked helpers expect the caller's hold.
class CFilePackIndexMgr : public CSemiAutoIntLock {
 public:
  CFilePackIndexMgr();
  ~CFilePackIndexMgr() override;

  void Close(bool handleMode);
  void CloseFiles();
  bool IsOpen();

  // Handle mode: the lite index; else the full index. The data file is read
  // through one handle at explicit offsets either way.
  bool OpenPack(const char* indexPath, const char* dataPath, bool handleMode);
  bool LoadIndexFile(const char* path, bool creationForbidden, std::string* image);
  bool CreateEmptyIndex(int kind, const char* path);  // 0 empty index, 1 empty file
  bool OpenDataFile(const char* dataPath);
  // True only when all count bytes were read; dest is zero-filled first.
  bool ReadAt(uint8_t* dest, uint64_t offset, uint32_t count);
  // Every indexed entry's stored bytes lie inside the data file; a data file
  // cut short (a download ended midway) fails.
  bool DataHoldsEveryEntry();

  // A copy of the full index's entry (handle-mode packs have none).
  bool FindEntry(const char* key, PackEntry* entry);
  bool HasFile(const char* key);
  // Buffers: size bytes when unpacking, else packedSize (LZMA) or size.
  bool ReadEntryData(const PackEntry* entry, uint8_t* buffer, bool unpack);
  bool UnpackEntry(const PackEntry* entry, uint8_t* buffer);
  bool ExtractFile(const char* key, const char* localPath);

  // Copies for walks over a pack: every key (lite index in handle mode),
  // every record (built from the lite index in handle mode).
  std::vector<std::string> Keys();
  std::vector<PackIndexRecord> Records();

  // Deleting and saving: marks, then one SaveChanges. Both old files stay
  // as they were whenever SaveChanges or CompactPack returns false, except
  // when a compaction's files could not all be put back (another program
  // holds them): the pack is then closed, and the next OpenPack finishes it.
  bool DeleteFile(const char* key);
  bool SaveChanges();
  bool CompactPack();
  LONG CompactProgress() const { return m_compactProgress; }
  void BuildFullIndexFromLite();
  void BuildLiteIndexFromFull();
  // Puts the header at the image's start and takes its two flags.
  void WriteIndexHeader(const PackIndexHeader& header, std::string* image);
  static bool WriteEntryData(const uint8_t* bytes, uint32_t length, PackOutFile* out);
  static bool PackFileInPlace(const char* path);
  static bool SwapIndexFiles(const char* targetPath, const char* newPath);

  // Micro client.
  bool OpenMicroIndex(const char* path);
  bool FindMicroEntry(const char* name, MicroIndexRecord* record);
  bool GetMicroLocalPath(const char* name, std::string* address);
  // Micro-index keys that the pack does not hold yet, in the index's order;
  // filter (may be null) keeps only the keys it accepts.
  std::vector<std::string> MissingMicroKeys(bool (*filter)(const std::string& key) = nullptr);
  size_t MicroRecordCount();
  // A copy of the micro index, by key.
  std::unordered_map<std::string, MicroIndexRecord> MicroRecords();
  // Checks a downloaded file against the micro index and parks it as a
  // .pkg3 record; false (and the file deleted) when it is refused.
  bool AddDownloadedResource(const char* name, const char* downloadedPath);
  // Moves received resources into the lite index.
  void PublishDownloads();
  // The bytes of a received resource, not yet merged, from its downloaded
  // file; false for any other key or when entry is not the one received.
  bool ReadDownloadedFile(const char* key, const PackEntry* entry, uint8_t* buffer);

  static bool ReadWholeFile(const char* path, std::string* data, bool checkLength, uint32_t expectedLength);
  static bool ReadResourceRecord(const char* path, MicroIndexRecord* record);

  // Appends every file of the source pack to the destination pack.
  static bool MergePack(PackProgressCallback progress, const char* sourceIndex, const char* sourceData,
                        const char* destIndex, const char* destData, bool destMicroMode);

  std::string PackName();
  bool HandleMode() const { return m_handleMode; }
  bool MaskWholeData() const { return m_maskWholeData; }
  bool IsLzma() const { return m_lzma; }
  uint32_t EntryCount() const { return m_entryCount; }
  uint32_t TotalCount() const { return m_totalCount; }
  uint32_t LargestPackedSize() const { return m_largestPackedSize; }
  uint32_t LargestSize() const { return m_largestSize; }
  bool MicroMode() const { return m_microMode; }
  void SetMicroMode(bool on) { m_microMode = on; }
  int PackNumber() const { return m_packNumber; }
  void SetPackNumber(int number) { m_packNumber = number; }
  std::string DownloadBase();

 private:
  friend bool ReadFileFromGlobalPack(CFilePackIndexMgr*, uint8_t*, const PackEntry*, const char*);
  friend bool CanReadFileFromGlobalPack(CFilePackIndexMgr*, const PackEntry*, const char*);
  friend bool FindFileInGlobalPack(const char*, PackEntry*);

  // Under the caller's hold of m_stateLock (shared unless said otherwise).
  bool IsOpenLocked() const { return m_dataHandle != INVALID_HANDLE_VALUE; }
  bool ReadAtLocked(uint8_t* dest, uint64_t offset, uint32_t count);
  // The entry's stored bytes lie inside the data file as it is now.
  bool StoredRangeInData(const PackEntry& entry);
  bool UnpackEntryLocked(const PackEntry& entry, uint8_t* buffer);
  bool ReadStoredLocked(const PackEntry& entry, uint8_t* buffer);
  struct DownloadedFile;
  bool ReadDownloadedFileLocked(const DownloadedFile& file, uint8_t* buffer);
  bool LookupLiteLocked(const std::string& key, PackEntry* entry) const;
  // The key's entry as the pack holds it now (lite or full index).
  bool CurrentEntryLocked(const std::string& key, PackEntry* entry) const;
  void ResetLocked(bool handleMode);         // exclusive
  void PublishDownloadsLocked();             // exclusive
  std::unordered_map<std::string, PackIndexRecord> FullFromLiteLocked() const;
  void InstallFullLocked(std::unordered_map<std::string, PackIndexRecord> full);  // exclusive

  // Takes a shared hold and calls use(local, received) with where a read of
  // key's entry takes its bytes from: the received resource's file, else
  // (received null) local in the data file; a null key reads the entry as it
  // stands. False when closed or when the key no longer names those bytes.
  template <typename Use>
  bool WithReadSource(const PackEntry& entry, const char* key, Use use);
  bool ParseMainIndex(const std::string& image, bool handleMode, std::unordered_map<std::string, PackIndexRecord>* full,
                      std::unordered_map<std::string, PackEntry>* lite, PackIndexHeader* header,
                      uint32_t* largestPacked, uint32_t* largest);
  HANDLE OpenDataHandle(const char* dataPath);
  void TakeHeader(const PackIndexHeader& header, uint32_t largestPacked, uint32_t largest);
  bool ParseMicroIndex(const std::string& image);
  void FinishCompaction(bool ok, LONG target);

  void LockShared() { AcquireSRWLockShared(&m_stateLock); }
  void UnlockShared() { ReleaseSRWLockShared(&m_stateLock); }
  void LockExclusive() { AcquireSRWLockExclusive(&m_stateLock); }
  void UnlockExclusive() { ReleaseSRWLockExclusive(&m_stateLock); }
  struct SharedHold {
    explicit SharedHold(CFilePackIndexMgr* m) : m(m) { m->LockShared(); }
    ~SharedHold() { m->UnlockShared(); }
    CFilePackIndexMgr* m;
  };
  struct ExclusiveHold {
    explicit ExclusiveHold(CFilePackIndexMgr* m) : m(m) { m->LockExclusive(); }
    ~ExclusiveHold() { m->UnlockExclusive(); }
    CFilePackIndexMgr* m;
  };

 private:
  // Fields in the order the pack code expects them; everything
  // below m_stateLock is guarded by it, except the pending deletions, which
  // only the changing operations touch (under the manager's own section).
  volatile LONG m_entryCount;
  uint32_t m_totalCount;
  uint32_t m_reserved;
  SRWLOCK m_stateLock;
  char m_packName[255];
  volatile LONG m_compactProgress;
  bool m_handleMode;
  bool m_maskWholeData;
  bool m_lzma;
  uint32_t m_largestPackedSize;
  std::map<std::string, std::string> m_pendingDeletions;
  std::unordered_map<std::string, PackIndexRecord> m_fullIndex;
  std::unordered_map<std::string, PackEntry> m_liteIndex;

  // Micro client resources.
  std::unordered_map<std::string, MicroIndexRecord> m_microIndex;
  std::unordered_map<std::string, PackEntry> m_knownResources;
  std::unordered_map<std::string, PackEntry> m_pendingDownloads;
  volatile LONG m_pendingCount;  // lets lookups skip publishing when nothing waits
  // Resources received from downloads, by key: their offsets are the
  // server's, not this data file's, so they are never looked up by offset
  // and stay out of every written index until a merge puts them in the pack.
  struct DownloadedFile {
    PackEntry entry;   // as received: the micro record's offset and sizes
    std::string path;  // normalised path of the downloaded file
  };
  std::unordered_map<std::string, DownloadedFile> m_downloadedFiles;

  // Read at explicit offsets only: no shared file position.
  HANDLE m_dataHandle;
  std::string m_downloadBase;
  bool m_microMode;
  int m_packNumber;
  uint32_t m_largestSize;
};

// The pair opens as a pack (read by a reader of its own, which creates
// nothing) and its data file holds every entry.
bool PackReadsWhole(const char* indexPath, const char* dataPath);

// The process-wide micro-client base address (a loopback placeholder until set).
std::string GetMicroClientBaseAddress();
void SetMicroClientBaseAddress(const char* address);

// The ten process-wide managers: 1..9 are Data/001..Data/009, 10 is
// LauncherCfg/010; null for any other number.
CFilePackIndexMgr* ClientPackManager(int packNumber);
// Data/004: the pack the XML loader reads through.
CFilePackIndexMgr* GlobalPackManager();

// A copy of the GlobalPackManager's lite entry (downloads published first).
bool FindFileInGlobalPack(const char* key, PackEntry* entry);
// The bytes of key's entry: a received resource from its downloaded file,
// anything else from the data file where the pack holds the key now (an
// entry found before a merge and reopen still names the same bytes). A null
// key reads the entry from the data file as it stands.
bool ReadFileFromGlobalPack(CFilePackIndexMgr* manager, uint8_t* buffer, const PackEntry* entry, const char* key);
// True when the bytes ReadFileFromGlobalPack would take for the entry are
// there (reported when not), so a buffer may be sized by it: a received
// resource's file was checked when it arrived, any other entry must lie in
// the data file.
bool CanReadFileFromGlobalPack(CFilePackIndexMgr* manager, const PackEntry* entry, const char* key);

// Offset, type code, name and size are passed through; the address comes
// from the manager's micro index. A null manager gives an empty item.
MicroDownloadItem MakeDownloadItem(int offset, int typeCode, const char* name, int size, CFilePackIndexMgr* manager);

// Merges the folder's .pkg3 records into the pack; false when there was
// nothing to merge or the merge failed (the records then stay).
bool MergeResourceFiles(PackProgressCallback progress, const char* dataPath, const char* folder,
                        const char* indexPath, bool deleteDownloaded, bool globalProgress);
// Nine workers, one per data pack; false when any pack failed to merge.
bool MergeAllDataPacks(bool deleteDownloaded, PackProgressCallback progress = nullptr);
void GetMergeProgress(int* merged, int* toMerge);

// setlocale is process-wide and pack work switches it on several threads.
void SetPackLocale(const char* name);

}  // namespace FilePack
