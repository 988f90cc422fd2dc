// The file lists inside a patch ("VersionInfo"/"FileList" XML): the files,
// pack entries and folders of a version, or those to delete.
#pragma once
#include <cstdint>
#include <vector>

#include "afx/AfxString.h"

class TiXmlElement;
namespace FilePack {
class CFilePackIndexMgr;
}

namespace PackClient {

struct FileEntry {
  CString downloadName;  // path (or pack name "/" path), ".zip" when compressed
  CString location;      // base folder + path, or the pack's data file name
  CString date;
  CString name;  // the path as written; a folder to delete ends in "/"
  CString crc;
  uint8_t compressed = 0;
  uint8_t inPack = 0;
  uint8_t deleteFolder = 0;
};

void InitFileEntry(FileEntry* entry);
void FreeFileEntry(FileEntry* entry);

// Fills and returns the module's parsed list; on a failure it holds what was
// read before it, and *parsed (when given) tells whether the whole list was.
// Names that would leave the client folder fail the list before any file is
// touched.
std::vector<FileEntry>* ParseFileList(const char* buffer, int length, CString baseFolder, bool withDeletes,
                                      bool* parsed = nullptr);
// Every name of a parsed list that becomes a local path stays inside the
// client folder and every pack entry names a ".pkg" file; reports the first
// that does not.
bool FileListStaysInClient(const std::vector<FileEntry>& list);

// "File" children of a "FileList" or "Folder" element.
void ParseFileEntries(const TiXmlElement* parent, const CString& baseFolder, bool withDeletes,
                      std::vector<FileEntry>* out);
// "File" children of a "PackFolder" element or its "Folder".
void ParseFileNodes(const TiXmlElement* parent, const CString& packName, std::vector<FileEntry>* out);

}  // namespace PackClient

// Reads the list stored as `name` in an open pack; false also when the list
// does not parse.
bool ReadFileListFromPack(const char* name, FilePack::CFilePackIndexMgr* manager,
                          std::vector<PackClient::FileEntry>* out, bool withDeletes);
