// The file layer of the pack writers: Win32 handles with every byte count
// checked, complete new files, and replacing files so that a failure leaves
// the old ones in place.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace FilePack {

class PackOutFile {
 public:
  PackOutFile() = default;
  ~PackOutFile();
  PackOutFile(const PackOutFile&) = delete;
  PackOutFile& operator=(const PackOutFile&) = delete;

  // CREATE_ALWAYS, CREATE_NEW, or OPEN_ALWAYS positioned at the end.
  bool Open(const char* path, DWORD disposition);
  bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
  bool Write(const void* data, size_t count);
  bool Flush();
  bool Size(uint64_t* size) const;
  // Cuts the file back to size and continues writing there.
  bool Truncate(uint64_t size);
  bool Close();

 private:
  HANDLE m_handle = INVALID_HANDLE_VALUE;
  std::string m_path;
};

// Writes count bytes as the whole content of path and flushes them; on
// failure the file is deleted ("写文件失败").
bool WriteFileChecked(const char* path, const void* data, size_t count);

// Creates a file that did not exist, named prefix + a number + suffix.
bool CreateUniqueFile(const std::string& prefix, const std::string& suffix, std::string* path, PackOutFile* file);

struct FileReplacement {
  std::string fresh;   // complete, checked new file
  std::string target;  // the file it replaces
};
// Replaces every target by its fresh file, in list order. On any failure the
// targets already replaced get their old content back and the result is false.
// A list of several files keeps a journal beside the first target while it
// runs, so a replace cut short can be finished later. When the old files
// cannot all be put back (or the undo cannot be journaled) the journal stays
// and ReplaceUnfinished is true: the fresh files are part of it then, and the
// targets must not be read until FinishInterruptedReplace succeeds.
bool ReplaceFiles(const std::vector<FileReplacement>& list);
bool ReplaceUnfinished(const std::string& firstTarget);
// Completes or undoes a replace whose first target this is and that was cut
// short; true when none was pending or it is finished now.
bool FinishInterruptedReplace(const std::string& firstTarget);

// Test seam for fault runs; any pointer may be null.
struct PackFaultHooks {
  bool (*failWrite)(const char* path, size_t count);  // true: the disk is full
  bool (*failCompress)(size_t length);                 // true: the index packer fails
  void (*replacePoint)(int point);                     // each point of a replace where a kill can land
  bool (*failLink)(const char* target);                // true: the disk has no hard links
};
void SetPackFaultHooks(const PackFaultHooks& hooks);
bool PackWriteFaults(const char* path, size_t count);
bool PackCompressFaults(size_t length);

}  // namespace FilePack
