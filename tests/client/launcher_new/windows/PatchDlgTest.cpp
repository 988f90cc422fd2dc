// The main window and its panel made in this process from a generated
// installation folder, driven through their messages, commands and the
// update run's window boundary, and looked at on the screen.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "ChildControlDlg.h"
#include "FatalExit.h"
#include "PatchDlg.h"
#include "SkinButton.h"
#include "UpdateProtocol.h"
#include "WinDriver.h"
#include "afx/AfxGdiPlus.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

// ---------------------------------------------------------------- the folder

std::string WinPath(const char* path) { return path[0] == '/' ? std::string("Z:") + path : path; }

// The layout's places, as the kit wrote them: name -> numbers.
std::map<std::string, std::vector<int>> Places() {
  std::map<std::string, std::vector<int>> places;
  std::istringstream in(ReadFileBytes(testsupport::FixturePath("launcher_ui/layout.txt")));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    int n;
    while (words >> n) places[key].push_back(n);
  }
  return places;
}

// One installation folder for the whole program: the configuration pack is
// a process-wide manager and stays open on it.
class FolderEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    dir = std::string(cwd) + "\\inst";
    testsupport::RemoveTree(dir);
    testsupport::CopyTree(testsupport::FixturePath("launcher_ui/folder"), dir);
    CopyFileA(WinPath(FAKE_EXE).c_str(), (dir + "\\tunedesk.exe").c_str(), FALSE);
    SetCurrentDirectoryA(dir.c_str());
    config = ReadFileBytes("LauncherCfg\\config.xml");
    ASSERT_TRUE(gdiplus.Start());
    CoInitialize(nullptr);
    LauncherCfg::SetEndProcessHook(&OnEnd);
  }
  void TearDown() override {
    gdiplus.Shutdown();
    CoUninitialize();
  }
  static void OnEnd(int code) {
    ++ends;
    lastCode = code;
  }
  std::string dir;
  std::string config;
  afx::GdiPlusSession gdiplus;
  static int ends;
  static int lastCode;
};
int FolderEnvironment::ends = 0;
int FolderEnvironment::lastCode = 0;
FolderEnvironment* const g_folder =
    static_cast<FolderEnvironment*>(testing::AddGlobalTestEnvironment(new FolderEnvironment));

// ---------------------------------------------------------------- the window

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

template <class Pred>
bool PumpUntil(Pred done, DWORD ms = 10000) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    PumpFor(10);
  }
  return true;
}

// Looks of the skinned buttons as they publish them.
bool LooksDisabled(CSkinButton& b) { return GetPropA(b.m_hWnd, kSkinDisabledProp) != nullptr; }

struct Launcher {
  std::unique_ptr<CPatchDlg> main;
  CChildControlDlg* panel = nullptr;

  explicit Launcher(bool resetConfig = true) {
    if (resetConfig) testsupport::WriteFileBytes("LauncherCfg\\config.xml", g_folder->config);
    testsupport::ClearShownBoxes();
    main.reset(new CPatchDlg);
    if (!main->Create(CPatchDlg::IDD, nullptr)) return;
    main->ShowWindow(SW_SHOW);
    panel = main->Panel();
    PumpFor(200);
  }
  ~Launcher() {
    if (main && main->m_hWnd) main->DestroyWindow();
    main.reset();  // the run's threads end here
  }
  CSkinButton& Button(int index) { return panel->Button(index); }
  LRESULT Send(UINT message) {
    LRESULT r = main->SendMessage(message);
    PumpFor(20);
    return r;
  }
  // What a click on the button sends, visible or not.
  void Click(int id) {
    panel->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel->m_hWnd, id)));
    PumpFor(50);
  }
};

RECT ClientRectOf(HWND child, HWND parent) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

TEST(PatchDlg, WindowAndPanelStandWhereTheLayoutPutsThem) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  std::map<std::string, std::vector<int>> places = Places();
  CRect main, panel;
  l.main->GetWindowRect(&main);
  l.panel->GetWindowRect(&panel);
  // The layered window takes its picture's size and is centred on the screen.
  EXPECT_EQ(places["size"][0], main.Width());
  EXPECT_EQ(places["size"][1], main.Height());
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - main.Width()) / 2, main.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - main.Height()) / 2, main.top);
  EXPECT_EQ(main.left, panel.left);
  EXPECT_EQ(main.top, panel.top);
  EXPECT_EQ(main.Width(), panel.Width());
  EXPECT_EQ("赞恩登录器", windriver::WindowText(l.main->m_hWnd));
  EXPECT_TRUE(l.main->GetExStyle() & WS_EX_LAYERED);
  EXPECT_TRUE(l.panel->GetExStyle() & WS_EX_LAYERED);

  // Skinned buttons at their records' rects; web mode hides start, the
  // optimisation button and the area buttons wait to be shown.
  const bool hidden[22] = {true, false, false, false, false, false, false, false, false, false, false,
                           true, true, true, true, true, true, true, true, true, true, true};
  for (int i = 0; i < 22; ++i) {
    HWND button = l.Button(i).m_hWnd;
    ASSERT_NE(nullptr, button) << i;
    std::vector<int> want = places["button" + std::to_string(i)];
    RECT r = ClientRectOf(button, l.panel->m_hWnd);
    if (want[2] == 0) {  // no image: left without a size
      EXPECT_EQ(0, r.right - r.left) << i;
      continue;
    }
    EXPECT_EQ(want[0], r.left) << i;
    EXPECT_EQ(want[1], r.top) << i;
    EXPECT_EQ(want[2], r.right - r.left) << i;
    EXPECT_EQ(want[3], r.bottom - r.top) << i;
    EXPECT_EQ(!hidden[i], IsWindowVisible(button) != FALSE) << i;
  }
  // The exit button's record asks for an ellipse.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(ERROR, GetWindowRgn(l.Button(PanelLayout::kExit).m_hWnd, region));
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 12, 12));
  // The panel's region leaves out the corners and the colour-key hole.
  std::vector<int> hole = places["hole"];
  EXPECT_NE(ERROR, GetWindowRgn(l.panel->m_hWnd, region));
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, hole[0], hole[1]));
  EXPECT_TRUE(PtInRegion(region, hole[0] - hole[2] - 2, hole[1]));
  EXPECT_TRUE(PtInRegion(region, 320, 200));
  DeleteObject(region);
  // The line button shows the chosen line's tip (config.xml: telecom).
  EXPECT_EQ("电信", std::string(l.Button(PanelLayout::kLine).Text()));
  EXPECT_TRUE(testsupport::ShownBoxes().empty());
}

TEST(PatchDlg, EscapeAndEnterLeaveBothWindowsUp) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  for (HWND target : {l.main->m_hWnd, l.panel->m_hWnd, l.Button(PanelLayout::kExit).m_hWnd}) {
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
      PostMessageA(target, WM_KEYDOWN, key, 1);
      PostMessageA(target, WM_KEYUP, key, 0xC0000001);
    }
  }
  PumpFor(200);
  EXPECT_TRUE(IsWindow(l.main->m_hWnd) && IsWindowVisible(l.main->m_hWnd));
  EXPECT_TRUE(IsWindow(l.panel->m_hWnd) && IsWindowVisible(l.panel->m_hWnd));
  EXPECT_EQ(0, FolderEnvironment::ends);
}

TEST(PatchDlg, DraggingEitherWindowMovesBoth) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  for (CWnd* grip : {static_cast<CWnd*>(l.panel), static_cast<CWnd*>(l.main.get())}) {
    CRect before;
    l.main->GetWindowRect(&before);
    grip->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    grip->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(330, 215));
    grip->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(330, 215));
    PumpFor(20);
    CRect main, panel;
    l.main->GetWindowRect(&main);
    l.panel->GetWindowRect(&panel);
    EXPECT_EQ(before.left + 30, main.left);
    EXPECT_EQ(before.top + 15, main.top);
    EXPECT_EQ(main.left, panel.left);
    EXPECT_EQ(main.top, panel.top);
    EXPECT_FALSE(l.main->IsDragging());
  }
}

TEST(PatchDlg, AgreementMessagesActOnlyOnAChange) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  CSkinButton& agree = l.Button(PanelLayout::kAgree);
  CSkinButton& start = l.Button(PanelLayout::kStart);
  EXPECT_FALSE(LooksDisabled(agree));
  l.Send(WM_AGREE_OFF);
  EXPECT_EQ(0, l.main->User().agree);
  EXPECT_TRUE(LooksDisabled(agree));
  EXPECT_TRUE(LooksDisabled(start));
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("selectagree=\"0\""));
  // Already clear, or already set: nothing happens, so nothing is saved.
  const struct {
    UINT message;
    const char* agree;
  } steps[] = {{WM_AGREE_OFF, "selectagree=\"0\""}, {WM_AGREE_ON, "selectagree=\"1\""}, {WM_AGREE_ON, nullptr}};
  for (const auto& step : steps) {
    testsupport::WriteFileBytes("LauncherCfg\\config.xml", "marker");
    l.Send(step.message);
    std::string saved = ReadFileBytes("LauncherCfg\\config.xml");
    if (step.message == WM_AGREE_OFF || step.agree == nullptr) {
      EXPECT_EQ("marker", saved);
    } else {
      EXPECT_NE(std::string::npos, saved.find(step.agree));
    }
  }
  EXPECT_EQ(1, l.main->User().agree);
  EXPECT_FALSE(LooksDisabled(agree));
  // Checked before the update is done: start stays disabled.
  EXPECT_TRUE(LooksDisabled(start));
}

TEST(PatchDlg, UpdateCompleteEnablesExitAndFillsTheBars) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.Send(WM_AGREE_OFF);
  l.main->EnableButton(LauncherButton::Exit, false);
  l.main->Run()->SetProgress(0, 1);
  l.Send(WM_UPDATE_COMPLETE);
  EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kStart)));
  EXPECT_FALSE(LooksDisabled(l.Button(PanelLayout::kExit)));
  EXPECT_EQ(UpdateStage::Done, l.main->Run()->Stage());
  EXPECT_EQ(100, l.main->Run()->ProgressDone());
  EXPECT_EQ(100, l.main->Run()->ProgressTotal());
  // The hidden optimisation button is not asked for (no super var flag).
  EXPECT_FALSE(l.Button(PanelLayout::kOptimize).IsWindowVisible());
  // Done shows text 13 and sets the merge counts equal.
  l.main->Run()->SetMergeProgress(2, 7);
  EXPECT_EQ("更新完成", l.panel->StatusLine());
  EXPECT_EQ(7, l.main->Run()->FilesMerged());
  EXPECT_TRUE(PumpUntil([&] { return windriver::WindowText(l.panel->m_hWnd) == "更新完成"; }, 3000));
  // Now agreeing enables start at once.
  l.Send(WM_AGREE_ON);
  EXPECT_FALSE(LooksDisabled(l.Button(PanelLayout::kStart)));
}

TEST(PatchDlg, FailureAndStepMessagesSetTheButtons) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.main->EnableButton(LauncherButton::Start, true);
  l.Send(WM_UPDATE_FAILED);
  EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kStart)));
  for (UINT message : {WM_RUN_VERSION_UPDATE, WM_SELF_UPDATE}) {
    l.main->EnableButton(LauncherButton::Start, true);
    l.main->EnableButton(LauncherButton::Exit, false);
    l.main->EnableButton(LauncherButton::Optimise, true);
    l.Send(message);
    EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kStart))) << message;
    EXPECT_FALSE(LooksDisabled(l.Button(PanelLayout::kExit))) << message;
    EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kOptimize))) << message;
  }
}

TEST(PatchDlg, StartGameEmptiesThePatchFolderAndLeaves) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  CreateDirectoryA("LauncherCfg\\PatchTemp", nullptr);
  testsupport::WriteFileBytes("LauncherCfg\\PatchTemp\\left.pkg", "x");
  int ends = FolderEnvironment::ends;
  l.Send(WM_START_GAME);
  EXPECT_FALSE(FileExists("LauncherCfg\\PatchTemp\\left.pkg"));
  EXPECT_EQ(ends + 1, FolderEnvironment::ends);
  EXPECT_EQ(-1, FolderEnvironment::lastCode);
  EXPECT_TRUE(l.main->Run()->IsQuitting());
}

TEST(PatchDlg, QuitDoesNothingWhileExitLooksDisabled) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  int ends = FolderEnvironment::ends;
  l.main->EnableButton(LauncherButton::Exit, false);
  l.Click(1001);
  EXPECT_EQ(ends, FolderEnvironment::ends);
  EXPECT_FALSE(l.main->Run()->IsQuitting());
  l.main->EnableButton(LauncherButton::Exit, true);
  l.Click(1001);
  EXPECT_EQ(ends + 1, FolderEnvironment::ends);
  EXPECT_EQ(-1, FolderEnvironment::lastCode);
  EXPECT_TRUE(l.main->Run()->IsQuitting());
}

TEST(PatchDlg, StartButtonChecksAgreementAndArea) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  CSkinButton& start = l.Button(PanelLayout::kStart);
  // Agreement not accepted: nothing at all.
  l.main->User().agree = 0;
  l.main->User().bigArea = -1;
  start.EnableButton();
  l.Click(1000);
  EXPECT_TRUE(testsupport::ShownBoxes().empty());
  EXPECT_FALSE(LooksDisabled(start));
  // No area chosen: the box, and nothing sent.
  l.main->User().agree = 1;
  l.Click(1000);
  ASSERT_EQ(1u, testsupport::ShownBoxes().size());
  EXPECT_EQ("请选择服务器!", testsupport::ShownBoxes()[0].text);
  EXPECT_FALSE(LooksDisabled(start));
  // An area: the step starts, which disables start.
  l.main->User().bigArea = 2;
  l.Click(1000);
  EXPECT_TRUE(LooksDisabled(start));
}

TEST(PatchDlg, AgreementBoxUnchecksAndStaysUnchecked) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.Click(1010);
  EXPECT_EQ(0, l.main->User().agree);
  EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kAgree)));
  EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kStart)));
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("selectagree=\"0\""));
  // Clicked while unchecked: the notes would open; the box keeps its look.
  l.Click(1010);
  EXPECT_EQ(0, l.main->User().agree);
  EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kAgree)));
}

TEST(PatchDlg, AreaButtonsShowMoveAndSelect) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  std::map<std::string, std::vector<int>> places = Places();
  // Areas come from a downloaded list: out of range is ignored.
  for (int area : {-1, 10, 99, -2147483647 - 1}) l.main->ShowAreaButton(area, 1);
  for (int i = 12; i < 22; ++i) EXPECT_FALSE(l.Button(i).IsWindowVisible()) << i;
  // Area 2 has a second place (rect1), area 3 has none.
  l.main->ShowAreaButton(2, 1);
  l.main->ShowAreaButton(3, 1);
  l.main->ShowAreaButton(4, 0);
  EXPECT_TRUE(l.Button(14).IsWindowVisible());
  RECT moved = ClientRectOf(l.Button(14).m_hWnd, l.panel->m_hWnd);
  EXPECT_EQ(20 + 2 * 44, moved.left);
  EXPECT_EQ(230, moved.top);
  EXPECT_EQ(40, moved.right - moved.left);
  RECT stays = ClientRectOf(l.Button(15).m_hWnd, l.panel->m_hWnd);
  EXPECT_EQ(places["button15"][0], stays.left);
  EXPECT_TRUE(l.Button(16).IsWindowVisible());
  // A click selects that area alone and saves it.
  l.Click(1016);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(i == 4, l.Button(12 + i).IsSelected()) << i;
  EXPECT_EQ(4, l.main->User().bigArea);
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("bigarea=\"4\""));
  // The run's selection: areas 1 to 9 only.
  l.main->SelectArea(0);
  EXPECT_EQ(4, l.main->User().bigArea);
  l.main->SelectArea(7);
  EXPECT_EQ(7, l.main->User().bigArea);
  EXPECT_TRUE(l.Button(19).IsSelected());
}

TEST(PatchDlg, RunWindowCallsFromAWorkerRunOnTheWindowThread) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  bool done = false;
  UpdateSettings seen;
  std::thread worker([&] {
    l.main->EnableButton(LauncherButton::Exit, false);
    l.main->ShowButton(LauncherButton::Optimise, true);
    l.main->ShowAreaButton(1, 0);
    seen = l.main->Settings();
    done = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return done; }));
  worker.join();
  EXPECT_TRUE(LooksDisabled(l.Button(PanelLayout::kExit)));
  EXPECT_TRUE(l.Button(PanelLayout::kOptimize).IsWindowVisible());
  EXPECT_TRUE(l.Button(13).IsWindowVisible());
  EXPECT_EQ(1, seen.selectedBigArea);
  EXPECT_TRUE(seen.webMode);
  EXPECT_EQ("fake_game.exe", seen.exeName);
  EXPECT_EQ("Quickmend.exe", seen.emergencyExeName);
}

TEST(PatchDlg, SettingsButtonStartsTunedeskWithThePanelRectangleOnce) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  DeleteFileA("tunedesk.exe.cmdline");
  testsupport::WriteFileBytes("tunedesk.exe.hold", "");
  l.Click(1005);
  ASSERT_TRUE(PumpUntil([] { return FileExists("tunedesk.exe.cmdline"); }));
  CRect r;
  l.panel->GetWindowRect(&r);
  char want[100];
  snprintf(want, sizeof want, "%d,%d,%d,%d;\n", static_cast<int>(r.left), static_cast<int>(r.top),
           static_cast<int>(r.right), static_cast<int>(r.bottom));
  EXPECT_EQ(want, ReadFileBytes("tunedesk.exe.cmdline"));
  // While it runs, a second click starts nothing.
  l.Click(1005);
  PumpFor(1500);
  EXPECT_EQ(want, ReadFileBytes("tunedesk.exe.cmdline"));
  DeleteFileA("tunedesk.exe.hold");
}

TEST(PatchDlg, LinkToAMissingFileReportsTheClick) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  for (int id : {1003, 1006}) {  // 1006's record has a link but no image
    testsupport::ClearShownBoxes();
    l.Click(id);
    ASSERT_TRUE(PumpUntil([] { return !testsupport::ShownBoxes().empty(); }, 5000)) << id;
    EXPECT_EQ("无法打开链接", testsupport::ShownBoxes()[0].text) << id;
  }
}

TEST(PatchDlg, ScreenShowsBackgroundHolesFramesAndTexts) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.main->Run()->SetStage(UpdateStage::ServerListUnavailable);
  l.main->Run()->SetProgress(1, 2);
  PumpFor(600);
  CRect r;
  l.main->GetWindowRect(&r);
  windriver::Image shot;
  ASSERT_TRUE(windriver::CaptureScreen(r, &shot));
  testsupport::WriteFileBytes("launcher_window.png", windriver::EncodePng(shot));
  std::map<std::string, std::vector<int>> places = Places();
  std::vector<int> exit = places["button2"], hole = places["hole"];
  EXPECT_EQ(0x285AC8u, shot.Pixel(exit[0] + 12, exit[1] + 12));   // the exit button's normal frame
  EXPECT_EQ(0x141E3Cu, shot.Pixel(300, 290));                     // the panel's picture
  EXPECT_EQ(0xFF8C00u, shot.Pixel(hole[0], hole[1]));              // the main window through the hole
  EXPECT_EQ("无法获取服务器列表", windriver::WindowText(l.panel->m_hWnd));
}
