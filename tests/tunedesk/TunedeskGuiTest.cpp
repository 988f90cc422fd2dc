// tunedesk.exe started as the launcher starts it, driven through its window.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "support/TestSupport.h"
#include "WinDriver.h"

using testsupport::FixturePath;
using testsupport::ReadFileBytes;

namespace {

const char* const kDialogClass = "#32770";
const char* const kCaption = "系统设置";
const DWORD kWait = testsupport::kEventWaitMs;
const char* const kShot = "tunedesk_dialog.png";

std::string ExePath() {
  std::string path = TUNEDESK_EXE;
  return path[0] == '/' ? "Z:" + path : path;
}

// A fresh folder per case, with the fixture's ini copied in (or none).
std::string Folder(const std::string& name, const char* fixtureIni) {
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string dir = std::string(cwd) + "\\" + name;
  testsupport::RemoveTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
  if (fixtureIni != nullptr)
    testsupport::WriteFileBytes(dir + "\\tunedesk.ini", ReadFileBytes(FixturePath(std::string("tunedesk/") + fixtureIni)));
  return dir;
}

struct Tunedesk {
  windriver::Process process;
  HWND dialog = nullptr;
  std::string why;  // what Start waited for when it failed
  bool Start(const std::string& dir, const char* commandLine = "100,50,900,650;") {
    if (!process.Start(ExePath(), commandLine, dir)) {
      why = "tunedesk did not start, error " + std::to_string(GetLastError()) + ", in " + dir;
      return false;
    }
    dialog = windriver::WaitForWindow(process.Id(), kDialogClass, kCaption, kWait);
    if (dialog == nullptr) why = "no tunedesk dialog within the wait";
    else if (!windriver::WaitIdle(dialog, kWait)) why = "the dialog did not answer (gone: " + std::to_string(!IsWindow(dialog)) + ")";
    else return true;
    return false;
  }
  bool Ends() {
    DWORD code = 0;
    return process.WaitExit(kWait, &code);
  }
};

const int kResolutionIds[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012};

// The checked radios among the resolution ones and among the modes.
std::vector<int> Checked(HWND dialog) {
  std::vector<int> ids;
  for (int id : kResolutionIds)
    if (windriver::GetCheck(dialog, id) == BST_CHECKED) ids.push_back(id);
  for (int id : {1014, 1015, 1016})
    if (windriver::GetCheck(dialog, id) == BST_CHECKED) ids.push_back(id);
  return ids;
}

}  // namespace

TEST(TunedeskGui, CentredInTheRectangleWithDefaultsAndScreenshot) {
  DeleteFileA(kShot);  // the fixture kit checks the one this run writes
  // The pointer goes to a corner the dialog never covers before it starts:
  // a dialog dragged under the pointer gets a real mouse move from it while
  // it still holds the capture, which would move it to the pointer.
  const POINT corner = {GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
  // The warp goes through the X server: asked again until it is seen there.
  ASSERT_TRUE(testsupport::WaitFor("the pointer in the bottom-right corner", [&] {
    POINT at = {};
    return SetCursorPos(corner.x, corner.y) && GetCursorPos(&at) && at.x == corner.x && at.y == corner.y;
  }));
  std::string dir = Folder("defaults", nullptr);
  Tunedesk run;
  ASSERT_TRUE(run.Start(dir)) << run.why;
  RECT r;
  GetWindowRect(run.dialog, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(r.left, 100 + (800 - w) / 2);
  EXPECT_EQ(r.top, 50 + (600 - h) / 2);
  // 220 x 167 dialog units in a 9-point font: a few hundred pixels each way.
  EXPECT_GT(w, 300);
  EXPECT_LT(w, 700);
  EXPECT_GT(h, 250);
  EXPECT_LT(h, 600);

  // Missing ini: full screen, 1024x768, Apply enabled; the maximised radio hidden.
  EXPECT_EQ(Checked(run.dialog), (std::vector<int>{1001, 1016}));
  EXPECT_TRUE(windriver::IsEnabled(run.dialog, IDOK));
  EXPECT_FALSE(windriver::IsVisible(run.dialog, 1015));
  EXPECT_FALSE(windriver::IsEnabled(run.dialog, 1015));

  // What the screen shows: the face-coloured area holding the client area
  // reaches the window's frame (inside its 3-pixel edge) and no further,
  // whatever else the display shows around it.
  RECT around = {std::max(0L, r.left - 20), std::max(0L, r.top - 20),
                 std::min<LONG>(GetSystemMetrics(SM_CXSCREEN), r.right + 20),
                 std::min<LONG>(GetSystemMetrics(SM_CYSCREEN), r.bottom + 20)};
  POINT seed = {1, 1};
  ClientToScreen(run.dialog, &seed);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  uint32_t want = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  windriver::Image screen;
  ASSERT_TRUE(testsupport::WaitFor("the dialog's client area painted in the face colour", [&] {
    return windriver::CaptureScreen(around, &screen) && screen.Pixel(seed.x - around.left, seed.y - around.top) == want;
  }));
  RECT area = screen.AreaAround(seed.x - around.left, seed.y - around.top);
  OffsetRect(&area, around.left, around.top);
  EXPECT_NEAR(area.left, r.left, 3);
  EXPECT_NEAR(area.top, r.top, 3);
  EXPECT_NEAR(area.right, r.right, 3);
  EXPECT_NEAR(area.bottom, r.bottom, 3);
  windriver::Image shot;
  ASSERT_TRUE(windriver::CaptureScreen(r, &shot));
  ASSERT_TRUE(testsupport::WriteFileBytes(kShot, windriver::EncodePng(shot)));

  // Dragging by the client area moves the window by the mouse's offset.
  ASSERT_TRUE(windriver::Drag(run.dialog, {20, 20}, {50, 35}));
  ASSERT_TRUE(windriver::WaitIdle(run.dialog)) << "the dialog handling the drag";
  RECT moved;
  GetWindowRect(run.dialog, &moved);
  EXPECT_EQ(moved.left, r.left + 30);
  EXPECT_EQ(moved.top, r.top + 15);

  ASSERT_TRUE(windriver::Click(run.dialog, IDCANCEL));
  ASSERT_TRUE(run.Ends());
  EXPECT_FALSE(testsupport::FileExists(dir + "\\tunedesk.ini"));  // Cancel writes nothing
}

TEST(TunedeskGui, StoredValuesCheckTheirRadiosAndApplyWritesTheExactBytes) {
  struct Case {
    const char* ini;
    std::vector<int> checked;
    std::vector<int> clicks;
    const char* expected;  // null: the desktop's size in full screen
  } cases[] = {
      {"stored_1600x1024.ini", {1011, 1014}, {1003}, "expect_0_1152_864.ini"},
      {"mode7.ini", {1006}, {1006}, "expect_7_1280_800.ini"},
      {nullptr, {1001, 1016}, {1005, 1016}, nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string dir = Folder("apply" + std::to_string(n++), c.ini);
    Tunedesk run;
    ASSERT_TRUE(run.Start(dir)) << run.why;
    EXPECT_EQ(Checked(run.dialog), c.checked) << dir;
    // A file that was read leaves Apply disabled until a radio is clicked.
    EXPECT_EQ(windriver::IsEnabled(run.dialog, IDOK), c.ini == nullptr) << dir;
    for (int id : c.clicks) {
      ASSERT_TRUE(windriver::Click(run.dialog, id));
      ASSERT_TRUE(windriver::WaitIdle(run.dialog)) << "the dialog handling the click on " << id;
    }
    EXPECT_TRUE(windriver::IsEnabled(run.dialog, IDOK)) << dir;
    ASSERT_TRUE(windriver::Click(run.dialog, IDOK));
    ASSERT_TRUE(run.Ends()) << dir;
    std::string expected;
    if (c.expected != nullptr) {
      expected = ReadFileBytes(FixturePath(std::string("tunedesk/") + c.expected));
    } else {
      char text[256];
      snprintf(text, sizeof(text),
               "[screen]\r\nfullscreen=1\r\ndisplaymode=2\r\nscreenwidth=%d\r\nscreenheight=%d\r\n"
               "useskinmeshshader=0\r\nusehighleveleffect=1\r\n",
               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
      expected = text;
      EXPECT_EQ(expected, ReadFileBytes(FixturePath("tunedesk/expect_2_1280_1024.ini")));  // Xvfb's screen
    }
    EXPECT_EQ(ReadFileBytes(dir + "\\tunedesk.ini"), expected) << dir;
  }
}

TEST(TunedeskGui, CancelLeavesTheIniUntouched) {
  std::string dir = Folder("cancel", "stored_1680x1024.ini");
  std::string before = ReadFileBytes(dir + "\\tunedesk.ini");
  Tunedesk run;
  ASSERT_TRUE(run.Start(dir, "garbage without separator")) << run.why;
  EXPECT_EQ(Checked(run.dialog), (std::vector<int>{1004, 1015}));
  ASSERT_TRUE(windriver::Click(run.dialog, 1014));
  ASSERT_TRUE(windriver::WaitIdle(run.dialog)) << "the dialog handling the click";
  EXPECT_EQ(Checked(run.dialog), (std::vector<int>{1004, 1014}));
  PostMessageA(run.dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.Ends());
  EXPECT_EQ(ReadFileBytes(dir + "\\tunedesk.ini"), before);
}

TEST(TunedeskGui, AboutBoxFromTheSystemMenuIsModalOverTheDialog) {
  std::string dir = Folder("about", nullptr);
  Tunedesk run;
  ASSERT_TRUE(run.Start(dir)) << run.why;
  PostMessageA(run.dialog, WM_SYSCOMMAND, 0x10, 0);
  HWND about = windriver::WaitForWindow(run.process.Id(), kDialogClass, "关于 tunedesk", kWait);
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(IsWindowEnabled(run.dialog));
  ASSERT_TRUE(windriver::Click(about, IDOK));
  EXPECT_TRUE(testsupport::WaitFor("the dialog enabled again once the about box closed",
                                   [&] { return IsWindowEnabled(run.dialog) != FALSE; }));
  EXPECT_TRUE(windriver::OtherDialogs(run.process.Id(), run.dialog).empty());
  ASSERT_TRUE(windriver::Click(run.dialog, IDCANCEL));
  ASSERT_TRUE(run.Ends());
}

TEST(TunedeskGui, EveryReportIsAlsoAMessageBox) {
  // A first token of 300 bytes overflows the loader's 256-byte copy: reported.
  std::string dir = Folder("report", nullptr);
  testsupport::WriteFileBytes(dir + "\\tunedesk.ini",
                              "[screen]\r\n" + std::string(300, 'k') + " 1\r\nscreenwidth 1280\r\n");
  Tunedesk run;
  ASSERT_TRUE(run.process.Start(ExePath(), "100,50,900,650;", dir));
  HWND dialog = windriver::WaitForWindow(run.process.Id(), kDialogClass, kCaption, kWait);
  ASSERT_NE(dialog, nullptr);
  std::vector<HWND> boxes;
  ASSERT_TRUE(testsupport::WaitFor("the first report's message box", [&] {
    boxes = windriver::OtherDialogs(run.process.Id(), dialog);
    return !boxes.empty();
  }));
  ASSERT_EQ(boxes.size(), 1u);
  HWND text = FindWindowExA(boxes[0], nullptr, "Static", nullptr);
  std::string shown;
  for (; text != nullptr; text = FindWindowExA(boxes[0], text, "Static", nullptr)) shown += windriver::WindowText(text);
  EXPECT_NE(shown.find("EngineFunc_StrNcpy error"), std::string::npos) << shown;
  // Each box is dismissed; the dialog then goes on with the rest of the file.
  std::set<HWND> shownBoxes;
  EXPECT_TRUE(testsupport::WaitFor("the dialog showing the file's values once every box was dismissed", [&] {
    for (HWND box : windriver::DismissOtherDialogs(run.process.Id(), dialog)) shownBoxes.insert(box);
    return windriver::GetCheck(dialog, 1005) == BST_CHECKED;
  }));
  // The copy's overflow, then the key's length, once on lookup, once on insert.
  EXPECT_EQ(shownBoxes.size(), 3u);
  run.dialog = dialog;
  EXPECT_EQ(Checked(dialog), (std::vector<int>{1005, 1016}));  // 1280 wide, 768 high
  ASSERT_TRUE(windriver::Click(dialog, IDCANCEL));
  ASSERT_TRUE(run.Ends());
}
