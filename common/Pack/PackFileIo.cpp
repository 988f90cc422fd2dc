#include "PackFileIo.h"

#include <atomic>
#include <cctype>

#include "common/EngineFun/Helper.h"
#include "common/ScopedHandle.h"

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

std::atomic<void (*)(int)>& ReplaceHook() {
  static std::atomic<void (*)(int)> hook{nullptr};
  return hook;
}

std::atomic<bool (*)(const char*)>& LinkHook() {
  static std::atomic<bool (*)(const char*)> hook{nullptr};
  return hook;
}

bool HardLink(const std::string& link, const std::string& target) {
  auto hook = LinkHook().load();
  if (hook != nullptr && hook(target.c_str())) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  return CreateHardLinkA(link.c_str(), target.c_str(), nullptr) != FALSE;
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
// moved aside (then the target name is briefly missing). The name is chosen
// before the journal is written, so the journal can name it.
bool FreeBackupName(const std::string& target, std::string* path) {
  for (int n = 0; n < kNameAttempts; ++n) {
    *path = target + ".bak" + std::to_string(n);
    if (!Exists(*path)) return true;
  }
  path->clear();
  return false;
}

bool KeepBackup(const std::string& target, const std::string& backup, bool* linked) {
  *linked = HardLink(backup, target);
  return *linked || (!NameTaken() && MoveFileExA(target.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH));
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

bool PutBack(const std::string& target, const std::string& backup) {
  return MoveFileExA(backup.c_str(), target.c_str(), kReplaceFlags) != FALSE;
}

// One file of a replace as the journal records it.
struct ReplaceStep {
  std::string fresh, target, backup;  // backup empty: none kept
  bool hadOld = false;
};

// A replace of several files can be cut (kill, power cut) between two of its
// renames. Before it changes anything it records its steps beside the first
// target; the next open of that target finishes what the journal says:
// forward (complete every rename) or back (put the old files back).
std::string JournalPath(const std::string& firstTarget) { return firstTarget + ".replace"; }

const char kForward[] = "forward";
const char kBack[] = "back";
const char kJournalEnd[] = "end";

// Written aside and put in place whole, so a cut never leaves half a journal.
bool WriteJournal(const std::string& path, const char* mode, const std::vector<ReplaceStep>& steps) {
  std::string text = std::string(mode) + "\n";
  for (const ReplaceStep& s : steps)
    text += s.fresh + "\t" + s.target + "\t" + s.backup + "\t" + (s.hadOld ? "1" : "0") + "\n";
  text += std::string(kJournalEnd) + "\n";
  const std::string side = path + ".new";
  if (WriteFileChecked(side.c_str(), text.data(), text.size()) &&
      EngineFunc::EngineFunc_ReplaceFile(side.c_str(), path.c_str()))
    return true;
  DeleteFileA(side.c_str());
  return false;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t next; (next = text.find(separator, at)) != std::string::npos; at = next + 1)
    parts.push_back(text.substr(at, next - at));
  parts.push_back(text.substr(at));
  return parts;
}

bool ReadJournal(const std::string& path, bool* forward, std::vector<ReplaceStep>* steps) {
  const DWORD kLimit = 64 * 1024;  // a few paths; anything larger is not ours
  ScopedHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string text(kLimit, '\0');
  DWORD got = 0;
  if (!h || !ReadFile(h.Get(), &text[0], kLimit, &got, nullptr) || got >= kLimit) return false;
  text.resize(got);
  // Lines end in "\n", so the last part after the end line is empty.
  std::vector<std::string> lines = SplitAt(text, '\n');
  if (lines.size() < 4 || !lines.back().empty() || lines[lines.size() - 2] != kJournalEnd) return false;
  if (lines[0] != kForward && lines[0] != kBack) return false;
  *forward = lines[0] == kForward;
  steps->clear();
  for (size_t i = 1; i + 2 < lines.size(); ++i) {
    std::vector<std::string> fields = SplitAt(lines[i], '\t');
    if (fields.size() != 4 || fields[0].empty() || fields[1].empty() || (fields[3] != "0" && fields[3] != "1"))
      return false;
    steps->push_back(ReplaceStep{fields[0], fields[1], fields[2], fields[3] == "1"});
  }
  return true;
}

std::string SameFileKey(const std::string& path) {
  std::string key = path;
  for (char& c : key) c = c == '\\' ? '/' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return key;
}

// A journal moves files only beside the target it was found with: a
// planted one cannot reach anything else.
bool JournalStaysBeside(const std::string& firstTarget, const std::vector<ReplaceStep>& steps) {
  if (steps.empty() || SameFileKey(steps[0].target) != SameFileKey(firstTarget)) return false;
  const std::string& first = steps[0].target;
  const size_t cut = first.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? "" : first.substr(0, cut + 1);
  auto beside = [&folder](const std::string& path) {
    if (path.compare(0, folder.size(), folder) != 0) return false;
    const std::string name = path.substr(folder.size());
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
  };
  for (const ReplaceStep& s : steps) {
    if (!beside(s.fresh) || !beside(s.target)) return false;
    if (!s.backup.empty() && (!beside(s.backup) || s.backup.compare(0, s.target.size() + 4, s.target + ".bak") != 0))
      return false;
  }
  return true;
}

// Every fresh file still present has not been renamed yet; renaming it now
// completes the replace.
bool CompleteSteps(const std::vector<ReplaceStep>& steps) {
  for (const ReplaceStep& s : steps) {
    if (!Exists(s.fresh)) continue;
    SetFileAttributesA(s.fresh.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(s.target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!EngineFunc::EngineFunc_ReplaceFile(s.fresh.c_str(), s.target.c_str())) return false;
  }
  for (const ReplaceStep& s : steps)
    if (!s.backup.empty()) DeleteFileA(s.backup.c_str());
  return true;
}

bool UndoSteps(const std::vector<ReplaceStep>& steps) {
  for (size_t i = steps.size(); i-- > 0;) {
    const ReplaceStep& s = steps[i];
    if (!s.backup.empty() && Exists(s.backup)) {
      if (!PutBack(s.target, s.backup)) return false;
    } else if (!s.hadOld && !Exists(s.fresh) && Exists(s.target) && !DeleteFileA(s.target.c_str())) {
      return false;  // a target that was new goes away again
    }
    DeleteFileA(s.fresh.c_str());
  }
  return true;
}

void ReplacePoint(int* point) {
  auto hook = ReplaceHook().load();
  if (hook != nullptr) hook((*point)++);
}

}  // namespace

void SetPackFaultHooks(const PackFaultHooks& hooks) {
  WriteHook() = hooks.failWrite;
  CompressHook() = hooks.failCompress;
  ReplaceHook() = hooks.replacePoint;
  LinkHook() = hooks.failLink;
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
  if (list.empty()) return true;
  std::vector<ReplaceStep> steps(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    ReplaceStep& s = steps[i];
    s.fresh = list[i].fresh;
    s.target = list[i].target;
    SetFileAttributesA(s.fresh.c_str(), FILE_ATTRIBUTE_NORMAL);
    s.hadOld = Exists(s.target);
    if (!s.hadOld) continue;
    SetFileAttributesA(s.target.c_str(), FILE_ATTRIBUTE_NORMAL);
    // The last file needs no backup: nothing after it can fail.
    if (!Replaceable(s.target) || (i + 1 < list.size() && !FreeBackupName(s.target, &s.backup))) return false;
  }
  // One rename is whole or not done; several need the journal.
  const bool journaled = list.size() > 1;
  const std::string journal = JournalPath(list[0].target);
  if (journaled && !WriteJournal(journal, kForward, steps)) return false;
  int point = 0;
  ReplacePoint(&point);
  std::vector<bool> linked(steps.size(), false);
  size_t done = 0;
  bool ok = true;
  for (; done < steps.size(); ++done) {
    ReplaceStep& s = steps[done];
    bool isLinked = false;
    if (!s.backup.empty()) {
      if (!KeepBackup(s.target, s.backup, &isLinked)) {
        s.backup.clear();
        ok = false;
        break;
      }
      linked[done] = isLinked;
      ReplacePoint(&point);
    }
    if (!EngineFunc::EngineFunc_ReplaceFile(s.fresh.c_str(), s.target.c_str())) {
      ok = false;
      break;
    }
    ReplacePoint(&point);
  }
  if (ok) {
    for (const ReplaceStep& s : steps)
      if (!s.backup.empty()) DeleteFileA(s.backup.c_str());
    ReplacePoint(&point);
    if (journaled) DeleteFileA(journal.c_str());
    return true;
  }
  DWORD error = GetLastError();
  // Undoing without a "back" journal is not safe: a cut halfway would leave
  // the stale "forward" one to finish half of it. The next open finishes
  // forward instead.
  if (journaled && !WriteJournal(journal, kBack, steps)) {
    ENGINE_REPORT("false&&\"写文件失败\"");
    ReplacePoint(&point);
    SetLastError(error);
    return false;
  }
  ReplacePoint(&point);
  bool undone = true;
  DWORD undoError = ERROR_SUCCESS;
  auto undo = [&undone, &undoError](bool ok) {
    if (!ok && undone) undoError = GetLastError();
    undone = undone && ok;
  };
  // The failed file itself: its old content never left the target name
  // unless it was moved aside.
  const ReplaceStep& failed = steps[done];
  if (!failed.backup.empty())
    undo(linked[done] ? DeleteFileA(failed.backup.c_str()) != FALSE : PutBack(failed.target, failed.backup));
  // Undo in reverse; a target without an old file simply goes away again.
  for (size_t i = done; i-- > 0;) {
    const ReplaceStep& s = steps[i];
    undo(s.backup.empty() ? DeleteFileA(s.target.c_str()) != FALSE : PutBack(s.target, s.backup));
    ReplacePoint(&point);
  }
  if (!undone) {
    // Someone holds a file (a scanner, the game): the journal stays until
    // every old file is back, which the next open of the pack retries.
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(undoError));
  } else if (journaled) {
    DeleteFileA(journal.c_str());
  }
  SetLastError(error);
  return false;
}

bool ReplaceUnfinished(const std::string& firstTarget) { return Exists(JournalPath(firstTarget)); }

bool FinishInterruptedReplace(const std::string& firstTarget) {
  const std::string journal = JournalPath(firstTarget);
  DeleteFileA((journal + ".new").c_str());  // the journal in place, if any, is the one that counts
  if (!Exists(journal)) return true;
  bool forward = false;
  std::vector<ReplaceStep> steps;
  if (!ReadJournal(journal, &forward, &steps) || !JournalStaysBeside(firstTarget, steps)) {
    // Not one our replace wrote (those are put in place whole): nothing to finish.
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "替换记录无法读取:%s", journal.c_str());
    DeleteFileA(journal.c_str());
    return true;
  }
  if (!(forward ? CompleteSteps(steps) : UndoSteps(steps))) {
    // Kept for the next open.
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "失败代码编号:%d", static_cast<int>(GetLastError()));
    return false;
  }
  DeleteFileA(journal.c_str());
  return true;
}

}  // namespace FilePack
