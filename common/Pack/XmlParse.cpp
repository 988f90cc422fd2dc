// Every XML text the system reads is parsed here. TinyXML reads an element's
// content by calling itself, one stack frame set per level, so a document
// nested some ten thousand levels deep ends the thread that parses it. The
// nesting is measured first, without recursion, and a deeper document is
// refused like any other malformed one.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "XmlParse.h"
#include "common/EngineFun/Helper.h"

namespace {

// Walks the text as TinyXML's parser does: its own readers take every node
// but an element, whose start tag is read here and whose content is counted
// as one more open level instead of a call. Where TinyXML would stop at an
// error the count no longer matters, since TinyXML goes no deeper than that.
class NestingScan : public TiXmlBase {
 public:
  static bool Within(const char* p, TiXmlEncoding encoding, int limit) {
    if (p == nullptr || *p == '\0') return true;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    if (encoding == TIXML_ENCODING_UNKNOWN && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
      encoding = TIXML_ENCODING_UTF8;
    int depth = 0;
    p = SkipWhiteSpace(p, encoding);
    const char* withWhite = p;
    while (p != nullptr && *p != '\0') {
      if (depth > 0 && *p != '<') {
        TiXmlText text("");
        p = text.Parse(IsWhiteSpaceCondensed() ? p : withWhite, nullptr, encoding);
      } else if (depth > 0 && StringEqual(p, "</", false, encoding)) {
        // The end tag of the open element; any other stops TinyXML.
        p = strchr(p, '>');
        if (p != nullptr) ++p;
        --depth;
      } else if (*p != '<') {
        return true;  // TinyXML ends the document at anything but markup
      } else if (StringEqual(p, "<?xml", true, encoding)) {
        TiXmlDeclaration declaration;
        p = declaration.Parse(p, nullptr, encoding);
        if (depth == 0 && encoding == TIXML_ENCODING_UNKNOWN) encoding = DeclaredEncoding(declaration);
      } else if (StringEqual(p, "<!--", false, encoding)) {
        TiXmlComment comment;
        p = comment.Parse(p, nullptr, encoding);
      } else if (StringEqual(p, "<![CDATA[", false, encoding)) {
        TiXmlText text("");
        text.SetCDATA(true);
        p = text.Parse(p, nullptr, encoding);
      } else if (IsAlpha(static_cast<unsigned char>(p[1]), encoding) || p[1] == '_') {
        bool opened = false;
        p = ReadStartTag(p, encoding, &opened);
        if (opened && ++depth > limit) return false;
      } else {
        TiXmlUnknown unknown;
        p = unknown.Parse(p, nullptr, encoding);
      }
      withWhite = p;
      p = SkipWhiteSpace(p, encoding);
    }
    return true;
  }

 private:
  // The element's name and attributes up to "/>" (no content) or ">".
  static const char* ReadStartTag(const char* p, TiXmlEncoding encoding, bool* opened) {
    std::string name;
    p = ReadName(SkipWhiteSpace(p + 1, encoding), &name, encoding);
    while (p != nullptr && *p != '\0') {
      p = SkipWhiteSpace(p, encoding);
      if (p == nullptr || *p == '\0') return nullptr;
      if (*p == '/') return p[1] == '>' ? p + 2 : nullptr;
      if (*p == '>') {
        *opened = true;
        return p + 1;
      }
      TiXmlAttribute attribute;
      p = attribute.Parse(p, nullptr, encoding);
    }
    return nullptr;
  }

  // The document's encoding after its declaration, as TinyXML decides it.
  static TiXmlEncoding DeclaredEncoding(const TiXmlDeclaration& declaration) {
    const char* named = declaration.Encoding();
    if (*named == '\0' || StringEqual(named, "UTF-8", true, TIXML_ENCODING_UNKNOWN) ||
        StringEqual(named, "UTF8", true, TIXML_ENCODING_UNKNOWN))
      return TIXML_ENCODING_UTF8;
    return TIXML_ENCODING_LEGACY;
  }
};

}  // namespace

bool ParseXmlText(TiXmlDocument& doc, const char* text, TiXmlEncoding encoding) {
  doc.Clear();
  doc.ClearError();
  if (text != nullptr && !NestingScan::Within(text, encoding, kMaxXmlDepth)) {
    EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "XML文件嵌套超过%d层:%s", kMaxXmlDepth, doc.Value());
    doc.SetError(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, nullptr, nullptr, encoding);
    return false;
  }
  doc.Parse(text, nullptr, encoding);
  return !doc.Error();
}

bool ParseXmlBuffer(TiXmlDocument& doc, char* text, size_t length) {
  // Line ends become LF in place: the text only ever shrinks.
  size_t kept = 0;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < length && text[i + 1] == '\n') ++i;
      c = '\n';
    }
    text[kept++] = c;
  }
  text[kept] = '\0';
  return ParseXmlText(doc, text);
}

bool LoadXmlFile(TiXmlDocument& doc, const char* path) {
  doc.Clear();
  doc.ClearError();
  FILE* file = path != nullptr ? fopen(path, "rb") : nullptr;
  if (file == nullptr) {
    doc.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  std::string bytes;
  bool read = fseek(file, 0, SEEK_END) == 0;
  const long length = read ? ftell(file) : -1;
  read = length >= 0 && fseek(file, 0, SEEK_SET) == 0;
  try {
    if (read) bytes.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    read = false;
  }
  read = read && (length == 0 || fread(&bytes[0], static_cast<size_t>(length), 1, file) == 1);
  fclose(file);
  if (!read) {
    doc.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  if (bytes.empty()) {
    doc.SetError(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
    return false;
  }
  return ParseXmlBuffer(doc, &bytes[0], bytes.size());
}
