#include "XmlLoad.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "FilePackIndexMgr.h"
#include "tinyxml.h"

namespace {

void SetOpenError(TiXmlDocument& doc) { doc.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN); }

}  // namespace

bool LoadXmlDocumentFromPack(TiXmlDocument& doc, const PackEntry* entry, FilePack::CFilePackIndexMgr* manager,
                             const char* key) {
  if (manager == nullptr || !manager->IsOpen() || entry == nullptr) {
    SetOpenError(doc);
    return false;
  }
  const PackEntry copy = *entry;  // publishing may update the record meanwhile
  doc.Clear();
  // Texts of 2 GiB and more are refused: size + 1 must fit the buffer length.
  if (copy.size == 0 || copy.size >= 0x80000000u) {
    doc.SetError(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(copy.size) + 1]());
  if (bytes == nullptr ||
      !FilePack::ReadFileFromGlobalPack(manager, reinterpret_cast<uint8_t*>(bytes.get()), &copy, key)) {
    SetOpenError(doc);
    return false;
  }
  // Line ends become LF in place: the text only ever shrinks.
  char* text = bytes.get();
  uint32_t length = 0;
  for (uint32_t i = 0; i < copy.size; ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < copy.size && text[i + 1] == '\n') ++i;
      c = '\n';
    }
    text[length++] = c;
  }
  text[length] = '\0';
  doc.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
  return !doc.Error();
}

bool LoadXmlDocument(TiXmlDocument& doc, const char* fileName) {
  if (fileName == nullptr) {
    SetOpenError(doc);
    return false;
  }
  FilePack::CFilePackIndexMgr* global = FilePack::GlobalPackManager();
  if (global->IsOpen()) {
    PackEntry entry;
    if (FilePack::FindFileInGlobalPack(fileName, &entry)) return LoadXmlDocumentFromPack(doc, &entry, global, fileName);
  }
  doc.SetValue(fileName);
  FILE* file = fopen(fileName, "rb");
  if (file != nullptr) {
    bool ok = doc.LoadFile(file);
    fclose(file);
    return ok;
  }
  SetOpenError(doc);
  return false;
}
