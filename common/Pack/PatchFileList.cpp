#include "PatchFileList.h"

#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "FilePackIndexMgr.h"
#include "PackClient.h"
#include "PatchPath.h"
#include "XmlParse.h"
#include "common/EngineFun/Helper.h"
#include "common/EngineFun/ReportSink.h"
#include "common/Exception.h"
#include "tinyxml.h"

namespace PackClient {
namespace {

// A list is a few thousand lines; anything near this is not a list.
const uint32_t kMaxListBytes = 64u * 1024 * 1024;

std::vector<FileEntry>& ParsedList() {
  static std::vector<FileEntry> list;
  return list;
}

CString TextOf(const TiXmlElement* element) {
  const char* text = element ? element->GetText() : nullptr;
  return CString(text);
}

CString ChildText(const TiXmlElement* element, const char* child) { return TextOf(element->FirstChildElement(child)); }

// The path of a "File": its first child, when that is text.
CString FilePathOf(const TiXmlElement* file) {
  const TiXmlNode* first = file->FirstChild();
  const TiXmlText* text = first ? first->ToText() : nullptr;
  return CString(text ? text->Value() : nullptr);
}

template <typename Visit>
void EachChild(const TiXmlElement* parent, const char* name, Visit visit) {
  for (const TiXmlElement* e = parent->FirstChildElement(name); e; e = e->NextSiblingElement(name)) visit(e);
}

// Every "File" of a list level and of its "Folder" children.
template <typename Visit>
void EachFileOfLevel(const TiXmlElement* level, Visit visit) {
  EachChild(level, "File", visit);
  EachChild(level, "Folder", [&](const TiXmlElement* folder) { EachChild(folder, "File", visit); });
}

// A pack entry's location names a client pack's data file: anything else
// would merge a pack into its own index.
bool CheckPackName(const char* packName) {
  if (!CheckClientPath(packName)) return false;
  if (IsPackDataName(packName)) return true;
  ENGINE_REPORT("false&&\"包名不是.pkg文件\"");
  return false;
}

// Checked before anything is touched, so a hostile list changes nothing.
bool ListNamesSafe(const TiXmlElement* fileList, bool withDeletes) {
  bool safe = true;
  if (withDeletes)
    EachChild(fileList, "delFolder", [&](const TiXmlElement* e) { safe = safe && CheckClientFolder(TextOf(e)); });
  EachFileOfLevel(fileList, [&](const TiXmlElement* file) { safe = safe && CheckClientPath(FilePathOf(file)); });
  EachChild(fileList, "PackFolder", [&](const TiXmlElement* pack) { safe = safe && CheckPackName(TextOf(pack)); });
  return safe;
}

void RecreateEmpty(const CString& path) {
  EngineFunc::EngineFunc_DeleteFile(path);
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

}  // namespace

void InitFileEntry(FileEntry* entry) {
  if (entry == nullptr) return;
  *entry = FileEntry();
}

void FreeFileEntry(FileEntry* entry) {
  if (entry == nullptr) return;
  entry->downloadName.Empty();
  entry->location.Empty();
  entry->date.Empty();
  entry->name.Empty();
  entry->crc.Empty();
}

bool FileListStaysInClient(const std::vector<FileEntry>& list) {
  for (const FileEntry& entry : list) {
    bool safe = entry.deleteFolder ? CheckClientFolder(entry.name)
                : entry.inPack     ? CheckPackName(entry.location)
                                   : CheckClientPath(entry.name) && CheckClientPath(entry.location);
    if (!safe) return false;
  }
  return true;
}

void ParseFileEntries(const TiXmlElement* parent, const CString& baseFolder, bool withDeletes,
                      std::vector<FileEntry>* out) {
  SetClientLocale();
  EachChild(parent, "File", [&](const TiXmlElement* file) {
    CString path = FilePathOf(file);
    CString size = ChildText(file, "Size");
    if (size == "0") {
      if (CheckClientPath(path)) RecreateEmpty(baseFolder + path);
      return;
    }
    FileEntry entry;
    InitFileEntry(&entry);
    entry.compressed = file->Attribute("Compress") != nullptr;
    entry.downloadName = entry.compressed ? path + ".zip" : path;
    entry.location = baseFolder + path;
    entry.date = ChildText(file, "Date");
    entry.name = path;
    entry.crc = ChildText(file, "Crc");
    if (withDeletes || IsSpecialClientFile(path)) out->push_back(entry);
  });
}

void ParseFileNodes(const TiXmlElement* parent, const CString& packName, std::vector<FileEntry>* out) {
  SetClientLocale();
  EachChild(parent, "File", [&](const TiXmlElement* file) {
    FileEntry entry;
    InitFileEntry(&entry);
    entry.inPack = 1;
    entry.location = packName;
    entry.name = FilePathOf(file);
    entry.crc = ChildText(file, "Crc");
    if (entry.crc == "0") return;
    entry.compressed = file->Attribute("Compress") != nullptr;
    entry.downloadName = packName + "/" + entry.name;
    if (entry.compressed) entry.downloadName += ".zip";
    out->push_back(entry);
  });
}

std::vector<FileEntry>* ParseFileList(const char* buffer, int length, CString baseFolder, bool withDeletes,
                                      bool* parsed) {
  SetClientLocale();
  if (parsed != nullptr) *parsed = false;
  if (!baseFolder.IsEmpty() && baseFolder.Right(1) != "\\") baseFolder += "\\";
  std::vector<FileEntry>& list = ParsedList();
  list.clear();
  try {
    if (buffer == nullptr || length < 0) throw Common::CException(0, "数据为空");
    TiXmlDocument doc;
    if (!ParseXmlText(doc, buffer, static_cast<size_t>(length)))
      throw Common::CException(0, "%s", doc.ErrorDesc());
    const TiXmlElement* root = doc.FirstChildElement("VersionInfo");
    const TiXmlElement* fileList = root ? root->FirstChildElement("FileList") : nullptr;
    if (fileList == nullptr) throw Common::CException(0, "VersionInfo/FileList");
    if (!ListNamesSafe(fileList, withDeletes)) throw Common::CException(0, "路径不在客户端目录内");

    if (withDeletes) {
      EachChild(fileList, "delFolder", [&](const TiXmlElement* e) {
        FileEntry entry;
        InitFileEntry(&entry);
        entry.deleteFolder = 1;
        entry.name = NormalizePath(TextOf(e));
        if (entry.name.Right(1) != "/") entry.name += "/";
        list.push_back(entry);
      });
    }
    ParseFileEntries(fileList, baseFolder, withDeletes, &list);
    EachChild(fileList, "Folder",
              [&](const TiXmlElement* folder) { ParseFileEntries(folder, baseFolder, withDeletes, &list); });
    EachChild(fileList, "PackFolder", [&](const TiXmlElement* pack) {
      CString packName = TextOf(pack);
      ParseFileNodes(pack, packName, &list);
      EachChild(pack, "Folder", [&](const TiXmlElement* folder) { ParseFileNodes(folder, packName, &list); });
    });
    if (parsed != nullptr) *parsed = true;
  } catch (const Common::CException&) {
    EngineFunc::ShowMessageBox(nullptr, "分析文件列表失败", nullptr, MB_OK);
  }
  return &list;
}

}  // namespace PackClient

bool ReadFileListFromPack(const char* name, FilePack::CFilePackIndexMgr* manager,
                          std::vector<PackClient::FileEntry>* out, bool withDeletes) {
  PackClient::SetClientLocale();
  if (manager == nullptr || !manager->IsOpen() || name == nullptr || out == nullptr) return false;
  PackEntry entry;
  if (!manager->FindEntry(name, &entry)) return false;
  if (entry.size > PackClient::kMaxListBytes) {
    ENGINE_REPORT("false&&\"文件可能已经被损坏\"");
    return false;
  }
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(entry.size) + 1]());
  if (bytes == nullptr || !manager->ReadEntryData(&entry, reinterpret_cast<uint8_t*>(bytes.get()), true)) return false;
  bool parsed = false;
  std::vector<PackClient::FileEntry>* list =
      PackClient::ParseFileList(bytes.get(), static_cast<int>(entry.size), "", withDeletes, &parsed);
  *out = *list;
  return parsed;
}
