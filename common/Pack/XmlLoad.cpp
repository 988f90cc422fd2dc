#include "XmlLoad.h"

#include <memory>
#include <new>
#include <string>

#include "FilePackIndexMgr.h"

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
  // Nothing is allocated for bytes that are not there to read.
  if (!FilePack::CanReadFileFromGlobalPack(manager, &copy, key)) {
    SetOpenError(doc);  // as the read would fail, but before the buffer
    return false;
  }
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(copy.size) + 1]());
  if (bytes == nullptr ||
      !FilePack::ReadFileFromGlobalPack(manager, reinterpret_cast<uint8_t*>(bytes.get()), &copy, key)) {
    SetOpenError(doc);
    return false;
  }
  return ParseXmlBuffer(doc, bytes.get(), copy.size);
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
  return LoadXmlFile(doc, fileName);
}
