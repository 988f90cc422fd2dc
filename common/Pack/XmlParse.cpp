// Every XML text the system reads is parsed here. TinyXML reads an element's
// content by calling itself, one stack frame set per level, so a document
// nested some ten thousand levels deep ends the thread that parses it; and
// it takes the square of an element's attribute count. Both are measured
// first, without recursion, and a document past either bound is refused like
// any other malformed one.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "XmlParse.h"
#include "common/EngineFun/Helper.h"

namespace {

// TinyXML steps over a UTF-8 character by the length its lead byte claims,
// up to 4 bytes, also across the terminating zero; the text it reads is
// followed by this many zero bytes, so every such step lands on one.
const size_t kXmlTextPadding = 4;

enum class XmlShape { kFits, kTooDeep, kTooWide };

// Walks the text as TinyXML's parser does: its own readers take every node
// but an element, whose start tag is read here and whose content is counted
// as one more open level instead of a call. Where TinyXML would stop at an
// error the counts no longer matter, since TinyXML goes no further than that.
class ShapeScan : public TiXmlBase {
 public:
  static XmlShape Measure(const char* p, TiXmlEncoding encoding) {
    if (p == nullptr || *p == '\0') return XmlShape::kFits;
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
        return XmlShape::kFits;  // TinyXML ends the document at anything but markup
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
        int attributes = 0;
        p = ReadStartTag(p, encoding, &opened, &attributes);
        if (attributes > kMaxXmlAttributes) return XmlShape::kTooWide;
        if (opened && ++depth > kMaxXmlDepth) return XmlShape::kTooDeep;
      } else {
        TiXmlUnknown unknown;
        p = unknown.Parse(p, nullptr, encoding);
      }
      withWhite = p;
      p = SkipWhiteSpace(p, encoding);
    }
    return XmlShape::kFits;
  }

 private:
  // The element's name and attributes up to "/>" (no content) or ">"; stops
  // after one attribute past the bound.
  static const char* ReadStartTag(const char* p, TiXmlEncoding encoding, bool* opened, int* attributes) {
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
      if (++*attributes > kMaxXmlAttributes) return nullptr;
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
  return ParseXmlText(doc, text, text != nullptr ? strlen(text) : 0, encoding);
}

bool ParseXmlText(TiXmlDocument& doc, const char* text, size_t length, TiXmlEncoding encoding) {
  doc.Clear();
  doc.ClearError();
  if (text == nullptr) {
    doc.Parse(nullptr, nullptr, encoding);  // TinyXML's own error for no text
    return false;
  }
  if (const void* zero = memchr(text, 0, length)) length = static_cast<const char*>(zero) - text;
  std::unique_ptr<char[]> padded(new (std::nothrow) char[length + kXmlTextPadding]());
  if (padded == nullptr) {
    ENGINE_REPORT("false&&\"内存不足\"");
    doc.SetError(TiXmlBase::TIXML_ERROR, nullptr, nullptr, encoding);
    return false;
  }
  memcpy(padded.get(), text, length);
  const XmlShape shape = ShapeScan::Measure(padded.get(), encoding);
  if (shape != XmlShape::kFits) {
    if (shape == XmlShape::kTooDeep)
      EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "XML文件嵌套超过%d层:%s", kMaxXmlDepth, doc.Value());
    else
      EngineFunc::EngineFunc_ReportError(0, __FILE__, __LINE__, "XML元素属性超过%d个:%s", kMaxXmlAttributes,
                                         doc.Value());
    doc.SetError(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, nullptr, nullptr, encoding);
    return false;
  }
  doc.Parse(padded.get(), nullptr, encoding);
  return !doc.Error();
}

bool ParseXmlBuffer(TiXmlDocument& doc, char* text, size_t length) {
  if (text == nullptr) return ParseXmlText(doc, nullptr);
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
  return ParseXmlText(doc, text, kept);
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
