// XML documents read through the pack store: the process-wide pack first,
// the plain file only when the pack does not serve the name.
#pragma once

#include "XmlParse.h"

struct PackEntry;
namespace FilePack {
class CFilePackIndexMgr;
}

// True when the document was parsed without error.
bool LoadXmlDocument(TiXmlDocument& doc, const char* fileName);
// Parses one entry's unpacked bytes (CRLF and lone CR become LF); key, when
// given, names the entry (a micro-client resource may not be merged yet).
bool LoadXmlDocumentFromPack(TiXmlDocument& doc, const PackEntry* entry, FilePack::CFilePackIndexMgr* manager,
                             const char* key = nullptr);
