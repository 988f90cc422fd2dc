// The UI layout document: root (window, fonts, buttons, bars, popups,
// program names) and string_use (the text table).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TiXmlDocument;
class LauncherTextTable;
struct HWND__;

namespace LauncherCfg {

struct LayoutPoint {
  int32_t x = 0, y = 0;
};
struct LayoutRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
struct LayoutColor {
  int32_t red = 0, green = 0, blue = 0;
};

struct LayoutFont {
  int32_t height = 0;  // first number of size
  int32_t width = 0;
  std::string face;    // style
  LayoutColor color;
};

struct ButtonStyle {
  std::string name;
  std::string imageFile;  // a strip of four frames
  LayoutRect rect;
  LayoutRect rect1;
  std::string tip;
  std::string href;
  bool ellipse = false;
};

struct ProgressBarLayout {
  std::string image;
  LayoutPoint position;
  LayoutPoint textPosition;
};

struct PopupButton {
  std::string image;
  LayoutRect rect;
  std::string tip;
};

struct LauncherLayout {
  std::string caption;
  std::string image;   // panel background and region
  std::string image2;  // layered main window
  LayoutPoint clientVer, serverVer;
  LayoutRect refreshVer, refreshText;
  LayoutPoint text;
  LayoutFont font, font2;
  LayoutRect selectCombo;
  std::vector<ButtonStyle> buttons;  // document order
  ProgressBarLayout progress, progress2;
  LayoutRect browser;
  std::string selectLineImage;
  PopupButton lineExit, lineAuto, lineTelecom, lineNetcom;
  std::string agreementImage;
  std::string agreementHref;
  LayoutRect agreementRect;
  PopupButton agreeButton, disagreeButton;
  std::string exeName, setExeName, emergencyExeName;
};

// The numbers of "%d, %d", "%d, %d, %d, %d", "%d, %d, %d"; false (fields
// untouched) unless every number parses.
bool ParsePoint(const char* text, LayoutPoint* point);
bool ParseRect(const char* text, LayoutRect* rect);
bool ParseColor(const char* text, LayoutColor* color);

// string_use/char elements into table (cleared first).
void ReadTextTable(const TiXmlDocument& doc, LauncherTextTable* table);
// False for a document that failed to parse or holds neither root nor
// string_use; missing elements below them are not errors.
bool ReadLayout(const TiXmlDocument& doc, LauncherLayout* layout, LauncherTextTable* table);

// ReadLayout into layout and the process-wide table; on failure the
// "error: Read the configuration file failed!" box and exit code -1.
bool ApplyLayoutOrExit(const TiXmlDocument& doc, HWND__* owner, LauncherLayout* layout);

}  // namespace LauncherCfg

namespace FilePack {
class CFilePackIndexMgr;
}

namespace LauncherCfg {
// Largest layout we allocate for: the size comes from a patched pack index.
const uint32_t kMaxLayoutDocument = 16u * 1024 * 1024;

// The layout entry entryName of the configuration pack; every failure
// (pack not open, entry missing or oversized, parse error) ends as
// ApplyLayoutOrExit.
bool LoadLayoutFromPack(FilePack::CFilePackIndexMgr* pack, const char* entryName, HWND__* owner,
                        LauncherLayout* layout);
}  // namespace LauncherCfg
