#include "ScriptParser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/EngineFun/Helper.h"
#include "common/StrUtil.h"

ScriptLine::ScriptLine() : tokens(), count(0), buffer(nullptr), length(0) {}

ScriptLine::~ScriptLine() { Reset(); }

void ScriptLine::Reset() {
  free(buffer);
  memset(tokens, 0, sizeof(tokens));
  count = 0;
  buffer = nullptr;
  length = 0;
}

int ScriptParser::Parse(const char* line, ScriptLine* out) {
  if (line == nullptr || out == nullptr) {
    ENGINE_ASSERT(false);
    return 0;
  }
  out->Reset();
  size_t rawLength = strlen(line);
  if (rawLength > 0x7FFFFFF) {
    ENGINE_ASSERT(false && "line too long");
    return 0;
  }
  int lineLength = static_cast<int>(rawLength);
  // The line through UTF-16 and back, with every "^" a blank.
  std::wstring wide = StrUtil::AnsiToWide(line);
  std::replace(wide.begin(), wide.end(), L'^', L' ');
  std::string copy = StrUtil::WideToAnsi(wide.c_str());
  if (lineLength > 0 && copy.empty()) {
    ENGINE_ASSERT(false && "line cannot be converted");
    return 0;
  }
  int n = static_cast<int>(copy.size());
  out->buffer = static_cast<char*>(calloc(static_cast<size_t>(n) + 1, 1));
  if (out->buffer == nullptr) return 0;
  if (n > 0) memcpy(out->buffer, copy.data(), static_cast<size_t>(n));
  out->length = n;

  // Boundaries come from the line as read; a conversion that changed the
  // length (bytes the code page cannot map) must not let a token leave
  // either buffer, so only the shorter length is scanned.
  int limit = n < lineLength ? n : lineLength;
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(line);
  int i = 0;
  while (i < limit && out->count < ScriptLine::kMaxTokens) {
    while (i < limit && raw[i] <= 0x20) ++i;
    if (i >= limit) break;
    int start = i;
    while (i < limit && raw[i] > 0x20) ++i;
    ScriptToken& token = out->tokens[out->count++];
    token.offset = start;
    token.length = i - start;
    token.text = out->buffer + start;
    out->buffer[i] = '\0';
  }
  return out->count;
}
