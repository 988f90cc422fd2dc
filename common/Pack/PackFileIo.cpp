#include "PackFileIo.h"

#include <atomic>

#include "common/EngineFun/Helper.h"

namespace FilePack {

namespace {

std::atomic<bool (*)(const char*, size_t)>& WriteHook() {
  static std::atomic<bool (*)(const char*, size_t)> hook{nullptr};
  return hook;
}

std::atomic<bool (*)(size_t)>& CompressHook() {
  static std::atomic<bool (*)(size_t)> hook{nullptr};
  return hook;
}

const int kNameAttempts = 100;
const DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool NameTaken() {
  DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The old content stays reachable under a second name while the target is
// replaced: a hard link where the file system has them, else the target is
// moved aside (then the target name is briefly missing).
struct Backup {
  std::string path;
  bool linked = false;
};

bool KeepBackup(const std::string& target, Backup* backup) {
  for (int n = 0; n < kNameAttempts; ++n) {
    backup->path = target + ".bak" + std::to_string(n);
    if (CreateHardLinkA(backup->path.c_str(), target.c_str(), nullptr)) {
      backup->linked = true;
      return true;
    }
    if (NameTaken()) continue;
    if (MoveFileExA(target.c_str(), backup->path.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    if (!NameTaken()) return false;
  }
  return false;
}

// Another handle without delete sharing blocks replacing the file; asking
// first saves making a backup name that could not be removed again.
bool Replaceable(const std::string& target) {
  HANDLE probe = CreateFileA(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

bool PutBack(const std::string& target, const Backup& backup) {
  return MoveFileExA(backup.path.c_str(), target.c_str(), kReplaceFlags) != FALSE;
}

}  // namespace

void SetPackFaultHooks(const PackFaultHooks& hooks) {
  WriteHook() = hooks.failWrite;
  CompressHook() = hooks.failCompress;
}

bool PackWriteFaults(const char* path, size_t count) {
  auto hook = WriteHook().load();
  return hook != nullptr && hook(path, count);
}

bool PackCompressFaults(size_t length) {
  auto hook = CompressHook().load();
  return hook != nullptr && hook(length);
}

PackOutFile::~PackOutFile() { Close(); }

bool PackOutFile::Open(const char* path, DWORD disposition) {
  Close();
  if (path == nullptr) {
    ENGINE_REPORT("false&&\"文件名为空\"");
    return false;
  }
  // Readers of the old file may keep reading while we append.
  DWORD share = disposition == OPEN_ALWAYS ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  m_handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_handle == INVALID_HANDLE_VALUE) return false;
  m_path = path;
  LARGE_INTEGER zero = {};
  if (disposition == OPEN_ALWAYS && !SetFilePointerEx(m_handle, zero, nullptr, FILE_END)) {
    Close();
    return false;
  }
  return true;
}

bool PackOutFile::Write(const void* data, size_t count) {
  if (!IsOpen() || (data == nullptr && count != 0)) return false;
  if (PackWriteFaults(m_path.c_str(), count)) {
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  const uint8_t* at = static_cast<const uint8_t*>(data);
  while (count > 0) {
    DWORD chunk = count > (1u << 26) ? (1u << 26) : static_cast<DWORD>(count), put = 0;
    if (!WriteFile(m_handle, at, chunk, &put, nullptr) || put != chunk) return false;
    at += chunk;
    count -= chunk;
  }
  return true;
}

bool PackOutFile::Flush() { return IsOpen() && FlushFileBuffers(m_handle); }

bool PackOutFile::Size(uint64_t* size) const {
  LARGE_INTEGER value = {};
  if (!IsOpen() || size == nullptr || !GetFileSizeEx(m_handle, &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool PackOutFile::Truncate(uint64_t size) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(size);
  return IsOpen() && SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) && SetEndOfFile(m_handle);
}

bool PackOutFile::Close() {
  if (!IsOpen()) return true;
  bool ok = CloseHandle(m_handle) != FALSE;
  m_handle = INVALID_HANDLE_VALUE;
  return ok;
}

bool WriteFileChecked(const char* path, const void* data, size_t count) {
  if (path == nullptr) return false;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);  // a stale read-only copy
  PackOutFile out;
  bool ok = out.Open(path, CREATE_ALWAYS) && out.Write(data, count) && out.Flush();
  ok = out.Close() && ok;
  if (!ok) {
    DeleteFileA(path);
    ENGINE_REPORT("false&&\"写文件失败\"");
  }
  return ok;
}

bool CreateUniqueFile(const std::string& prefix, const std::string& suffix, std::string* path, PackOutFile* file) {
  if (path == nullptr || file == nullptr) return false;
  for (int n = 0; n < kNameAttempts; ++n) {
    *path = prefix + std::to_string(EngineFunc::EngineFunc_UniqueID()) + suffix;
    if (file->Open(path->c_str(), CREATE_NEW)) return true;
    if (!NameTaken()) break;
  }
  path->clear();
  return false;
}

bool ReplaceFiles(const std::vector<FileReplacement>& list) {
  std::vector<Backup> backups(list.size());
  size_t done = 0;
  bool ok = true;
  for (; ok && done < list.size(); ++done) {
    const FileReplacement& item = list[done];
    Backup& backup = backups[done];
    SetFileAttributesA(item.fresh.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (Exists(item.target)) {
      SetFileAttributesA(item.target.c_str(), FILE_ATTRIBUTE_NORMAL);
      // The last file needs no backup: nothing after it can fail.
      bool last = done + 1 == list.size();
      if (!Replaceable(item.target) || (!last && !KeepBackup(item.target, &backup))) {
        backup.path.clear();
        ok = false;
        break;
      }
    }
    if (!MoveFileExA(item.fresh.c_str(), item.target.c_str(), kReplaceFlags)) {
      if (!backup.path.empty()) {
        if (backup.linked)
          DeleteFileA(backup.path.c_str());
        else
          PutBack(item.target, backup);
      }
      backup.path.clear();
      ok = false;
      break;
    }
  }
  if (ok) {
    for (const Backup& backup : backups)
      if (!backup.path.empty()) DeleteFileA(backup.path.c_str());
    return true;
  }
  // Undo in reverse; a target without an old file simply goes away again.
  for (size_t i = done; i-- > 0;) {
    const FileReplacement& item = list[i];
    bool restored = backups[i].path.empty() ? DeleteFileA(item.target.c_str()) != FALSE : PutBack(item.target, backups[i]);
    if (!restored) EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
  }
  return false;
}

}  // namespace FilePack
