// Stands in for the game client and for the emergency updater: records its
// command line and the unmasked server_list.ini of its folder in
// "<program>.record", then ends. With the argument "wait" it runs until
// "<program>.stop" appears (at most 5 min), so that it can be found running.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string ProgramStem() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string name = path;
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ReadAll(const char* path) {
  std::string out;
  if (FILE* f = fopen(path, "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) out.append(buffer, n);
    fclose(f);
  }
  return out;
}

}  // namespace

int main() {
  const std::string stem = ProgramStem();
  const char* line = GetCommandLineA();
  if (strstr(line, "wait") != nullptr) {
    for (int i = 0; i < 3000 && GetFileAttributesA((stem + ".stop").c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    return 0;
  }
  std::string ini = ReadAll("server_list.ini");
  for (char& c : ini) c = static_cast<char>(c ^ 0x5C);
  std::string record = std::string("cmdline:") + line + "\n" + ini;
  std::string fresh = stem + ".record.new";
  if (FILE* f = fopen(fresh.c_str(), "wb")) {
    fwrite(record.data(), 1, record.size(), f);
    fclose(f);
    MoveFileExA(fresh.c_str(), (stem + ".record").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  return 0;
}
