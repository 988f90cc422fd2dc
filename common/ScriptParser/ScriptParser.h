// Splits one text line into at most 32 blank-separated tokens.
#pragma once

struct ScriptToken {
  int offset;  // of the token's first byte in the line
  int length;  // bytes
  char* text;  // inside the line's own buffer, zero-terminated there
};

struct ScriptLine {
  enum { kMaxTokens = 32 };
  ScriptToken tokens[kMaxTokens];
  int count;
  char* buffer;  // the line's own copy ("^" read as a blank), owned
  int length;    // bytes of that copy

  ScriptLine();
  ~ScriptLine();
  ScriptLine(const ScriptLine&) = delete;
  ScriptLine& operator=(const ScriptLine&) = delete;
  void Reset();
};

namespace ScriptParser {
// Every byte of 0x20 or less separates; a "^" does not, but reads as a blank
// in the token's text. Returns the token count.
int Parse(const char* line, ScriptLine* out);
}
