// The popups and the browser as the launcher's panel opens them: the main
// window and panel made in this process over a generated installation
// folder, the popups answered from a second thread as a player would.
#include <gtest/gtest.h>

#include <windows.h>
#include <mshtmhst.h>

#include <atomic>
#include <string>
#include <thread>

#include "ChildControlDlg.h"
#include "FatalExit.h"
#include "PatchDlg.h"
#include "WinDriver.h"
#include "afx/AfxGdiPlus.h"
#include "common/StrUtil.h"
#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;

namespace {

int g_ends = 0;
void OnEnd(int) { ++g_ends; }

class Folder : public testing::Environment {
 public:
  void SetUp() override {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    const std::string dir = std::string(cwd) + "\\popups_inst";
    testsupport::RemoveTree(dir);
    testsupport::CopyTree(testsupport::FixturePath("launcher_ui/folder"), dir);
    const std::string fake = FAKE_EXE[0] == '/' ? std::string("Z:") + FAKE_EXE : FAKE_EXE;
    ASSERT_TRUE(CopyFileA(fake.c_str(), (dir + "\\fake_game.exe").c_str(), FALSE));
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
  std::string config;
  afx::GdiPlusSession gdiplus;
};
Folder* const g_folder = static_cast<Folder*>(testing::AddGlobalTestEnvironment(new Folder));

template <class Done> bool PumpUntil(Done done, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    if (done()) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(10);
  }
}

struct Launcher {
  std::unique_ptr<CPatchDlg> main;
  CChildControlDlg* panel = nullptr;
  Launcher() {
    testsupport::WriteFileBytes("LauncherCfg\\config.xml", g_folder->config);
    main.reset(new CPatchDlg);
    if (!main->Create(CPatchDlg::IDD, nullptr)) return;
    main->ShowWindow(SW_SHOW);
    panel = main->Panel();
    PumpUntil([] { return false; }, 200);
  }
  ~Launcher() {
    if (main && main->m_hWnd) main->DestroyWindow();
    main.reset();
  }
  // A click on a panel button whose popup the player answers with the
  // button `answer` (0: the close box); the popup's window rectangle and
  // caption come back.
  bool ClickAndAnswer(int button, int answer, RECT* popupRect = nullptr, std::string* caption = nullptr) {
    std::atomic<HWND> popup(nullptr);
    const HWND owner = panel->m_hWnd;
    std::thread player([&] {
      for (int i = 0; i < 500 && popup == nullptr; ++i) {
        HWND found = windriver::OwnedWindow(GetCurrentProcessId(), owner);
        if (found != nullptr && windriver::WaitIdle(found, 2000)) {
          if (popupRect != nullptr) GetWindowRect(found, popupRect);
          if (caption != nullptr) *caption = windriver::WindowText(found);
          popup = found;
          // No such button: the close box, so the modal loop always ends.
          if (!windriver::Click(found, answer)) PostMessageA(found, WM_CLOSE, 0, 0);
        }
        Sleep(20);
      }
    });
    panel->SendMessage(WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(owner, button)));
    player.join();
    return popup != nullptr;
  }
};

std::wstring LoginUrl(const std::string& key) {
  return StrUtil::AnsiToWide(("http://127.0.0.1:9/login?form=launcher&f_bigarea=3&f_user=ann&f_key=" + key +
                              "&f_time=1700000000&f_server=7").c_str());
}

}  // namespace

TEST(PanelPopups, BrowserStandsAtTheLayoutRectangleAndNavigates) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.panel->NavigateBrowser();  // web mode: the main window would call it once the update is done
  HWND control = GetDlgItem(l.panel->m_hWnd, CChildControlDlg::kBrowserId);
  ASSERT_NE(nullptr, control);
  EXPECT_TRUE(l.panel->Browser().Control().HasControl());
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, l.panel->m_hWnd, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(20, r.left);
  EXPECT_EQ(60, r.top);
  EXPECT_EQ(440, r.right - r.left);
  EXPECT_EQ(220, r.bottom - r.top);
  // Again: the same control, still where the layout says, asked for the page anew.
  EXPECT_TRUE(l.panel->Browser().Navigate(l.panel, RECT{20, 60, 440, 220}, "about:blank"));
  EXPECT_EQ(control, GetDlgItem(l.panel->m_hWnd, CChildControlDlg::kBrowserId));
}

TEST(PanelPopups, WebLoginFromThePageStartsTheGameOnce) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.panel->NavigateBrowser();
  ASSERT_TRUE(l.panel->Browser().Control().HasControl());
  IDocHostUIHandler* handler = nullptr;
  ASSERT_EQ(S_OK, l.panel->Browser().Control().Site()->QueryInterface(__uuidof(IDocHostUIHandler),
                                                                       reinterpret_cast<void**>(&handler)));
  DeleteFileA("fake_game.exe.cmdline");
  const int ends = g_ends;
  // Not a login, then an incomplete one: nothing happens and a later login still goes.
  for (const wchar_t* url : {L"http://127.0.0.1:9/news", L"http://x/?form=launcher&f_bigarea=3&f_user=a&f_key=k"}) {
    std::wstring copy = url;
    LPWSTR out = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_NOTIMPL, handler->TranslateUrl(0, &copy[0], &out));
    EXPECT_EQ(nullptr, out);
  }
  EXPECT_EQ(ends, g_ends);
  EXPECT_FALSE(l.panel->Browser().LoginHandedOff());
  // A key far longer than a path buffer.
  const std::string key(1500, 'k');
  std::wstring url = LoginUrl(key);
  LPWSTR out = nullptr;
  EXPECT_EQ(E_NOTIMPL, handler->TranslateUrl(0, &url[0], &out));
  EXPECT_EQ(ends + 1, g_ends);  // the game started and the launcher left
  EXPECT_EQ(3, l.main->User().bigArea);
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("bigarea=\"3\""));
  ASSERT_TRUE(PumpUntil([] { return FileExists("fake_game.exe.cmdline"); }, 10000));
  EXPECT_EQ(" 0 ann " + key + " 1700000000 7\n", ReadFileBytes("fake_game.exe.cmdline"));
  // One page hands over one login.
  url = LoginUrl("again");
  handler->TranslateUrl(0, &url[0], &out);
  EXPECT_EQ(ends + 1, g_ends);
  handler->Release();
}

TEST(PanelPopups, LinePopupCentresOnThePanelAndKeepsTheChoice) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  RECT popup = {}, panel = {};
  l.panel->GetWindowRect(&panel);
  ASSERT_TRUE(l.ClickAndAnswer(1009, 1056, &popup));  // netcom
  // The popup takes its picture's size (200 x 140), centred on the panel.
  EXPECT_EQ(200, popup.right - popup.left);
  EXPECT_EQ(140, popup.bottom - popup.top);
  EXPECT_EQ(panel.left + (panel.right - panel.left - 200) / 2, popup.left);
  EXPECT_EQ(panel.top + (panel.bottom - panel.top - 140) / 2, popup.top);
  EXPECT_EQ(2, l.main->User().line);
  EXPECT_STREQ("网通", l.panel->Button(PanelLayout::kLine).Text());
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("line=\"2\""));
  // Telecom, then the exit button, which changes nothing.
  ASSERT_TRUE(l.ClickAndAnswer(1009, 1055));
  EXPECT_EQ(1, l.main->User().line);
  EXPECT_STREQ("电信", l.panel->Button(PanelLayout::kLine).Text());
  ASSERT_TRUE(l.ClickAndAnswer(1009, 1050));
  EXPECT_EQ(1, l.main->User().line);
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("line=\"1\""));
}

TEST(PanelPopups, UncheckedAgreementOpensTheNotesAndStaysUnchecked) {
  Launcher l;
  ASSERT_NE(nullptr, l.panel);
  l.panel->SetAgreeChecked(false);
  std::string caption;
  ASSERT_TRUE(l.ClickAndAnswer(1010, 0, nullptr, &caption));
  EXPECT_EQ("更新公告", caption);
  EXPECT_EQ(0, l.main->User().agree);
}
