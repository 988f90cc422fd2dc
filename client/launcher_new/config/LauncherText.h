// The launcher's id-to-text map filled from the layout, and the formatter
// for layout texts that carry printf conversions.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "common/Locks.h"

class LauncherTextTable {
 public:
  void Clear();
  void Set(int32_t id, const std::string& text);
  bool Has(int32_t id) const;
  // An id the layout lacks gives an empty text, reported once per id.
  std::string Get(int32_t id) const;
  size_t Size() const { return m_texts.size(); }

 private:
  std::map<int32_t, std::string> m_texts;
  mutable CSemiAutoIntLock m_reportLock;  // texts are read from several threads
  mutable std::set<int32_t> m_reported;
};

LauncherTextTable& GetLauncherTextTable();
// A text of the process-wide table.
std::string LauncherText(int32_t id);

// kinds names the arguments, one letter each: 'd' int, 's' const char*,
// 'f' double. True when format's conversions are exactly those, in order,
// each with a width and a precision of at most three digits.
bool FormatMatchesKinds(const char* format, const char* kinds);
// Texts come from a downloadable layout, so they are never trusted as
// formats: a text whose conversions differ is shown followed by the values.
std::string FormatCheckedText(const std::string& format, const char* kinds, ...);
// The same with the text looked up in the process-wide table.
std::string FormatLauncherText(int32_t id, const char* kinds, ...);
