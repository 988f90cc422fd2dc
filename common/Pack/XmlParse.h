// Parsing XML text, without the pack store (the updater links it alone).
#pragma once

#include <cstddef>

#include "tinyxml.h"

// Deepest element nesting parsed. TinyXML recurses once per level; no list
// or layout of ours comes near this.
const int kMaxXmlDepth = 256;
// Most attributes on one element. TinyXML checks each new attribute against
// every earlier one of its element, so an element costs the square of its
// count; our widest element carries nine.
const int kMaxXmlAttributes = 1024;

// Every XML text is parsed through here: true when the document was parsed
// without error. A deeper nesting or a wider element is refused as malformed
// (reported, and the document's error set) before TinyXML sees it. TinyXML
// reads a copy of the text, which ends at the first zero byte or after
// length bytes.
bool ParseXmlText(TiXmlDocument& doc, const char* text, TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);
bool ParseXmlText(TiXmlDocument& doc, const char* text, size_t length,
                  TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);
// length bytes: CRLF and lone CR become LF in place, then ParseXmlText.
bool ParseXmlBuffer(TiXmlDocument& doc, char* text, size_t length);
// A plain file, read whole and parsed as ParseXmlBuffer does.
bool LoadXmlFile(TiXmlDocument& doc, const char* path);
