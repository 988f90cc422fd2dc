// The main window and its panel made in this process from a generated
// installation folder, driven through their messages, commands and the
// update run's window boundary, and looked at on the screen.
#include <map>
#include <sstream>
#include <thread>

#include "LauncherTestWindow.h"
#include "SkinButton.h"
#include "UpdateProtocol.h"
#include "WinDriver.h"

using launchertest::FolderEnvironment;
using launchertest::PumpFor;
using launchertest::PumpUntil;
using testsupport::ReadFileBytes;

namespace {

testing::Environment* const g_folder =
    testing::AddGlobalTestEnvironment(new FolderEnvironment("inst", {"tunedesk.exe"}));

// The layout's places, as the kit wrote them: name -> numbers.
std::map<std::string, std::vector<int>> Places() {
  std::map<std::string, std::vector<int>> places;
  std::istringstream in(ReadFileBytes(testsupport::FixturePath("launcher_ui/layout.txt")));
  std::string line, key;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    words >> key;
    for (int n; words >> n;) places[key].push_back(n);
  }
  return places;
}

// Looks of the skinned buttons as they publish them.
bool LooksDisabled(CSkinButton& b) { return GetPropA(b.m_hWnd, kSkinDisabledProp) != nullptr; }

RECT ClientRectOf(HWND child, HWND parent) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// left, top, width, height
std::vector<int> Box(const RECT& r) {
  return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
          static_cast<int>(r.bottom - r.top)};
}

bool Saved(const char* attribute) { return ReadFileBytes("LauncherCfg\\config.xml").find(attribute) != std::string::npos; }

class PatchDlg : public launchertest::LauncherTest {
 protected:
  CSkinButton& Button(int index) { return l.panel->Button(index); }
  void Send(UINT message) {
    l.main->SendMessage(message);
    PumpFor(20);
  }
  // The window's own run disables start first and later sets the stage;
  // a test that sets the buttons itself waits until the run has given up on
  // its dead address, which takes a while on a loaded machine.
  testing::AssertionResult RunGaveUp() {
    if (PumpUntil([&] { return l.main->Run()->Stage() == UpdateStage::ServerListUnavailable; }))
      return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the run never gave up on the server list";
  }
};

}  // namespace

TEST_F(PatchDlg, WindowAndPanelStandWhereTheLayoutPutsThem) {
  std::map<std::string, std::vector<int>> places = Places();
  CRect main, panel;
  l.main->GetWindowRect(&main);
  l.panel->GetWindowRect(&panel);
  // The layered window takes its picture's size and is centred on the screen.
  const int w = places["size"][0], h = places["size"][1];
  EXPECT_EQ((std::vector<int>{(GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h}),
            Box(main));
  EXPECT_TRUE(main.TopLeft() == panel.TopLeft());
  EXPECT_EQ(main.Width(), panel.Width());
  // Skinned buttons at their records' rects; web mode hides start, the
  // optimisation button and the area buttons wait to be shown.
  for (int i = 0; i < 22; ++i) {
    std::vector<int> want = places["button" + std::to_string(i)];
    RECT r = ClientRectOf(Button(i).m_hWnd, l.panel->m_hWnd);
    if (want[2] == 0) {  // no image: left without a size
      EXPECT_EQ(0, r.right - r.left) << i;
      continue;
    }
    EXPECT_EQ(want, Box(r)) << i;
    EXPECT_EQ(i != 0 && i < 11, IsWindowVisible(Button(i).m_hWnd) != FALSE) << i;
  }
  // The panel's region leaves out the corners and the colour-key hole.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  std::vector<int> hole = places["hole"];
  EXPECT_NE(ERROR, GetWindowRgn(l.panel->m_hWnd, region));
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, hole[0], hole[1]));
  EXPECT_TRUE(PtInRegion(region, hole[0] - hole[2] - 2, hole[1]));
  DeleteObject(region);
  EXPECT_TRUE(testsupport::ShownBoxes().empty());
}

TEST_F(PatchDlg, EscapeAndEnterLeaveBothWindowsUp) {
  for (HWND target : {l.main->m_hWnd, l.panel->m_hWnd, Button(PanelLayout::kExit).m_hWnd}) {
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

TEST_F(PatchDlg, DraggingEitherWindowMovesBoth) {
  for (CWnd* grip : {static_cast<CWnd*>(l.panel), static_cast<CWnd*>(l.main.get())}) {
    CRect before, main, panel;
    l.main->GetWindowRect(&before);
    grip->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    grip->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(330, 215));
    grip->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(330, 215));
    PumpFor(20);
    l.main->GetWindowRect(&main);
    l.panel->GetWindowRect(&panel);
    EXPECT_EQ(before.left + 30, main.left);
    EXPECT_EQ(before.top + 15, main.top);
    EXPECT_TRUE(main.TopLeft() == panel.TopLeft());
    EXPECT_FALSE(l.main->IsDragging());
  }
}

TEST_F(PatchDlg, AgreementActsOnlyOnAChange) {
  ASSERT_TRUE(RunGaveUp());
  // The box unchecks, disables start and saves.
  l.main->EnableButton(LauncherButton::Start, true);
  l.Click(1010);
  EXPECT_EQ(0, l.main->User().agree);
  EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kAgree)));
  EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kStart)));
  EXPECT_TRUE(Saved("selectagree=\"0\""));
  // Already clear, or already set: nothing happens, so nothing is saved.
  const struct {
    UINT message;
    const char* saved;
  } steps[] = {{WM_AGREE_OFF, "marker"}, {WM_AGREE_ON, "selectagree=\"1\""}, {WM_AGREE_ON, "marker"}};
  for (const auto& step : steps) {
    testsupport::WriteFileBytes("LauncherCfg\\config.xml", "marker");
    Send(step.message);
    EXPECT_TRUE(Saved(step.saved)) << step.saved;
  }
  EXPECT_EQ(1, l.main->User().agree);
  EXPECT_FALSE(LooksDisabled(Button(PanelLayout::kAgree)));
  // Checked before the update is done: start stays disabled.
  EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kStart)));
}

TEST_F(PatchDlg, UpdateCompleteEnablesExitAndStartOnceAgreed) {
  // The run's own stage would replace the one the message sets.
  ASSERT_TRUE(RunGaveUp());
  Send(WM_AGREE_OFF);
  l.main->EnableButton(LauncherButton::Exit, false);
  l.main->Run()->SetProgress(0, 1);
  Send(WM_UPDATE_COMPLETE);
  EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kStart)));
  EXPECT_FALSE(LooksDisabled(Button(PanelLayout::kExit)));
  EXPECT_EQ(l.main->Run()->ProgressTotal(), l.main->Run()->ProgressDone());
  EXPECT_TRUE(PumpUntil([&] { return windriver::WindowText(l.panel->m_hWnd) == "更新完成"; })) << "the status text";
  Send(WM_AGREE_ON);
  EXPECT_FALSE(LooksDisabled(Button(PanelLayout::kStart)));
}

TEST_F(PatchDlg, FailureAndStepMessagesSetTheButtons) {
  ASSERT_TRUE(RunGaveUp());
  const struct {
    UINT message;
    bool exitUsable;
  } cases[] = {{WM_UPDATE_FAILED, false}, {WM_RUN_VERSION_UPDATE, true}, {WM_SELF_UPDATE, true}};
  for (const auto& c : cases) {
    l.main->EnableButton(LauncherButton::Start, true);
    l.main->EnableButton(LauncherButton::Exit, false);
    l.main->EnableButton(LauncherButton::Optimise, true);
    Send(c.message);
    EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kStart))) << c.message;
    if (c.exitUsable) {
      EXPECT_FALSE(LooksDisabled(Button(PanelLayout::kExit))) << c.message;
      EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kOptimize))) << c.message;
    }
  }
}

TEST_F(PatchDlg, QuitDoesNothingWhileExitLooksDisabled) {
  ASSERT_TRUE(RunGaveUp());
  int ends = FolderEnvironment::ends;
  l.main->EnableButton(LauncherButton::Exit, false);
  l.Click(1001);
  EXPECT_EQ(ends, FolderEnvironment::ends);
  EXPECT_FALSE(l.main->Run()->IsQuitting());
  l.main->EnableButton(LauncherButton::Exit, true);
  l.Click(1001);
  EXPECT_EQ(ends + 1, FolderEnvironment::ends);
  EXPECT_TRUE(l.main->Run()->IsQuitting());
}

TEST_F(PatchDlg, StartButtonChecksAgreementAndArea) {
  ASSERT_TRUE(RunGaveUp());
  CSkinButton& start = Button(PanelLayout::kStart);
  // Agreement not accepted: nothing at all.
  l.main->User().agree = 0;
  l.main->User().bigArea = -1;
  start.EnableButton();
  l.Click(1000);
  EXPECT_TRUE(testsupport::ShownBoxes().empty());
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

TEST_F(PatchDlg, AreaButtonsShowMoveAndSelect) {
  // Areas come from a downloaded list: out of range is ignored.
  for (int area : {-1, 10, 99, -2147483647 - 1}) l.main->ShowAreaButton(area, 1);
  for (int i = 12; i < 22; ++i) EXPECT_FALSE(Button(i).IsWindowVisible()) << i;
  // Area 2 has a second place (rect1), area 3 has none.
  l.main->ShowAreaButton(2, 1);
  l.main->ShowAreaButton(3, 1);
  EXPECT_TRUE(Button(14).IsWindowVisible());
  RECT moved = ClientRectOf(Button(14).m_hWnd, l.panel->m_hWnd);
  EXPECT_EQ(20 + 2 * 44, moved.left);
  EXPECT_EQ(230, moved.top);
  EXPECT_EQ(Places()["button15"][0], ClientRectOf(Button(15).m_hWnd, l.panel->m_hWnd).left);
  // A click selects that area alone and saves it.
  l.main->ShowAreaButton(4, 0);
  l.Click(1016);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(i == 4, Button(12 + i).IsSelected()) << i;
  EXPECT_TRUE(Saved("bigarea=\"4\""));
  // The run's selection (the first area shown when the player's is not):
  // any area, 0 and one without a button too, is taken and saved.
  for (int first : {0, 10, 7}) {
    l.main->SelectArea(first);
    EXPECT_EQ(first, l.main->User().bigArea);
    EXPECT_TRUE(Saved(("bigarea=\"" + std::to_string(first) + "\"").c_str())) << first;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(i == first, Button(12 + i).IsSelected()) << first << " " << i;
  }
}

TEST_F(PatchDlg, RunWindowCallsFromAWorkerRunOnTheWindowThread) {
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
  EXPECT_TRUE(LooksDisabled(Button(PanelLayout::kExit)));
  EXPECT_TRUE(Button(PanelLayout::kOptimize).IsWindowVisible());
  EXPECT_TRUE(Button(13).IsWindowVisible());
  EXPECT_EQ(1, seen.selectedBigArea);
  EXPECT_EQ("fake_game.exe", seen.exeName);
}

TEST_F(PatchDlg, SettingsButtonStartsTunedeskWithThePanelRectangleOnce) {
  DeleteFileA("tunedesk.exe.cmdline");
  testsupport::WriteFileBytes("tunedesk.exe.hold", "");
  l.Click(1005);
  // The stand-in makes the file before it writes its line.
  ASSERT_TRUE(PumpUntil([] { return ReadFileBytes("tunedesk.exe.cmdline").find('\n') != std::string::npos; }))
      << "tunedesk's command line";
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

TEST_F(PatchDlg, LinkToAMissingFileReportsTheClick) {
  for (int id : {1003, 1006}) {  // 1006's record has a link but no image
    testsupport::ClearShownBoxes();
    l.Click(id);
    ASSERT_TRUE(PumpUntil([] { return !testsupport::ShownBoxes().empty(); })) << id;
    EXPECT_EQ("无法打开链接", testsupport::ShownBoxes()[0].text) << id;
  }
}

TEST_F(PatchDlg, ScreenShowsBackgroundHolesFramesAndTexts) {
  // The run gives up on its dead address by itself; the screen is then
  // taken once the panel has painted what is checked.
  ASSERT_TRUE(RunGaveUp());
  l.main->Run()->SetProgress(1, 2);
  std::map<std::string, std::vector<int>> places = Places();
  std::vector<int> exit = places["button2"], hole = places["hole"];
  windriver::Image shot;
  auto painted = [&] {
    CRect r;
    l.main->GetWindowRect(&r);
    // The status text follows the stage on the window's timer.
    return windriver::WindowText(l.panel->m_hWnd) == "无法获取服务器列表" && windriver::CaptureScreen(r, &shot) &&
           shot.Pixel(exit[0] + 12, exit[1] + 1) == 0x285AC8u && shot.Pixel(300, 290) == 0x141E3Cu &&
           shot.Pixel(hole[0], hole[1]) == 0xFF8C00u;
  };
  bool shown = PumpUntil(painted, 60000);
  testsupport::WriteFileBytes("launcher_window.png", windriver::EncodePng(shot));
  EXPECT_TRUE(shown) << "waited for the panel's status text and paint: the exit button's frame, the panel's picture, "
                        "the hole";
  EXPECT_EQ(0x285AC8u, shot.Pixel(exit[0] + 12, exit[1] + 1));   // the exit button's normal frame, above its caption
  EXPECT_EQ(0x141E3Cu, shot.Pixel(300, 290));                    // the panel's picture
  EXPECT_EQ(0xFF8C00u, shot.Pixel(hole[0], hole[1]));             // the main window through the hole
  EXPECT_EQ("无法获取服务器列表", windriver::WindowText(l.panel->m_hWnd));
}

TEST_F(PatchDlg, BarsOfEveryKindGdiDrawsShowOnTheScreen) {
  // The run gives up on its dead address first, so nothing else sets the bars.
  ASSERT_TRUE(RunGaveUp());
  l.main->Run()->SetProgress(10, 10);
  l.main->Run()->SetMergeProgress(3, 3);
  std::vector<int> stageAt = Places()["bar2"], mergeAt = Places()["bar"];
  // The kit's bars: columns 0 and 1 in colours 4 and 3 of the palette, then
  // the top half in colour 1 and the bottom half in colour 2.
  const struct {
    const char *stage, *merge;
    uint32_t top, bottom;
  } rounds[] = {{"rle8_bar.bmp", "rle4_bar.bmp", 0x1E90FF, 0x005AA0},
                {"core8_bar.bmp", "table300_bar.bmp", 0x0AC83C, 0x05781E}};
  for (const auto& round : rounds) {
    std::string stage = ReadFileBytes(testsupport::FixturePath(std::string("launcher_ui/bmp/") + round.stage));
    std::string merge = ReadFileBytes(testsupport::FixturePath(std::string("launcher_ui/bmp/") + round.merge));
    ASSERT_TRUE(l.panel->StageBar().Load(reinterpret_cast<const uint8_t*>(stage.data()), stage.size())) << round.stage;
    ASSERT_TRUE(l.panel->MergeBar().Load(reinterpret_cast<const uint8_t*>(merge.data()), merge.size())) << round.merge;
    l.panel->Invalidate(FALSE);
    const POINT points[] = {{0, 0}, {1, 9}, {150, 2}, {299, 7}};  // columns 0 and 1, top, bottom
    const uint32_t want[] = {0xC81E1E, 0xFAFAFA, round.top, round.bottom};
    std::string wrong;
    auto shown = [&] {
      CRect r;
      l.main->GetWindowRect(&r);
      windriver::Image shot;
      if (!windriver::CaptureScreen(r, &shot)) return false;
      wrong.clear();
      for (const std::vector<int>& at : {stageAt, mergeAt})
        for (int i = 0; i < 4; ++i)
          if (shot.Pixel(at[0] + points[i].x, at[1] + points[i].y) != want[i])
            wrong += " " + std::to_string(at[1]) + "/" + std::to_string(i);
      return wrong.empty();
    };
    EXPECT_TRUE(PumpUntil(shown)) << round.stage << ", " << round.merge << " wrong at (bar y/point):" << wrong;
  }
}
