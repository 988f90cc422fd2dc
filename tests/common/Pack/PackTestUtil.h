// Manifest reading for the pack fixtures (tests/fixtures/packs.py).
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace packtest {

inline std::string Fx(const std::string& name) { return testsupport::FixturePath("packs/" + name); }

// Whitespace-separated rows of a manifest file.
inline std::vector<std::vector<std::string>> ManifestRows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(testsupport::ReadFileBytes(path));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string f; fields >> f;) row.push_back(f);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

inline std::vector<std::vector<std::string>> Manifest(const std::string& name) { return ManifestRows(Fx(name)); }

inline const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

}  // namespace packtest
