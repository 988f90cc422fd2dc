// The popups and the browser as the launcher's panel opens them: the main
// window and panel made in this process over a generated installation
// folder, the popups answered from a second thread as a player would.
#include <mshtmhst.h>

#include <atomic>
#include <thread>

#include "WinDriver.h"
#include "client/launcher_new/windows/LauncherTestWindow.h"
#include "common/StrUtil.h"

using launchertest::FolderEnvironment;
using launchertest::PumpUntil;
using testsupport::ReadFileBytes;

namespace {

testing::Environment* const g_folder =
    testing::AddGlobalTestEnvironment(new FolderEnvironment("popups_inst", {"fake_game.exe"}));

class PanelPopups : public launchertest::LauncherTest {
 protected:
  // A click on a panel button whose popup the player answers with the
  // button `answer` (0: the close box); the popup's window rectangle and
  // caption come back.
  bool ClickAndAnswer(int button, int answer, RECT* popupRect = nullptr, std::string* caption = nullptr) {
    std::atomic<HWND> popup(nullptr);
    const HWND owner = l.panel->m_hWnd;
    std::thread player([&] {
      for (DWORD start = GetTickCount(); popup == nullptr && GetTickCount() - start < testsupport::kEventWaitMs;) {
        HWND found = windriver::OwnedWindow(GetCurrentProcessId(), owner);
        if (found != nullptr && windriver::WaitIdle(found)) {
          if (popupRect != nullptr) GetWindowRect(found, popupRect);
          if (caption != nullptr) *caption = windriver::WindowText(found);
          popup = found;
          // No such button: the close box, so the modal loop always ends.
          if (!windriver::Click(found, answer)) PostMessageA(found, WM_CLOSE, 0, 0);
        }
        Sleep(20);
      }
    });
    l.panel->SendMessage(WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(owner, button)));
    player.join();
    return popup != nullptr;
  }
};

std::wstring LoginUrl(const std::string& key) {
  return StrUtil::AnsiToWide(("http://127.0.0.1:9/login?form=launcher&f_bigarea=3&f_user=ann&f_key=" + key +
                              "&f_time=1700000000&f_server=7").c_str());
}

}  // namespace

TEST_F(PanelPopups, BrowserNavigatesAgainInTheSameControl) {
  l.panel->NavigateBrowser();  // web mode: the main window would call it once the update is done
  HWND control = GetDlgItem(l.panel->m_hWnd, CChildControlDlg::kBrowserId);
  ASSERT_NE(nullptr, control);
  // Again: the same control, asked for the page anew.
  EXPECT_TRUE(l.panel->Browser().Navigate(l.panel, RECT{20, 60, 440, 220}, "about:blank"));
  EXPECT_EQ(control, GetDlgItem(l.panel->m_hWnd, CChildControlDlg::kBrowserId));
}

TEST_F(PanelPopups, WebLoginFromThePageStartsTheGameOnce) {
  l.panel->NavigateBrowser();
  ASSERT_TRUE(l.panel->Browser().Control().HasControl());
  IDocHostUIHandler* handler = nullptr;
  ASSERT_EQ(S_OK, l.panel->Browser().Control().Site()->QueryInterface(__uuidof(IDocHostUIHandler),
                                                                       reinterpret_cast<void**>(&handler)));
  DeleteFileA("fake_game.exe.cmdline");
  const int ends = FolderEnvironment::ends;
  // Not a login, then an incomplete one: nothing happens and a later login still goes.
  for (const wchar_t* url : {L"http://127.0.0.1:9/news", L"http://x/?form=launcher&f_bigarea=3&f_user=a&f_key=k"}) {
    std::wstring copy = url;
    LPWSTR out = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_NOTIMPL, handler->TranslateUrl(0, &copy[0], &out));
    EXPECT_EQ(nullptr, out);
  }
  EXPECT_EQ(ends, FolderEnvironment::ends);
  EXPECT_FALSE(l.panel->Browser().LoginHandedOff());
  // A key far longer than a path buffer.
  const std::string key(1500, 'k');
  std::wstring url = LoginUrl(key);
  LPWSTR out = nullptr;
  EXPECT_EQ(E_NOTIMPL, handler->TranslateUrl(0, &url[0], &out));
  EXPECT_EQ(ends + 1, FolderEnvironment::ends);  // the game started and the launcher left
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("bigarea=\"3\""));
  // The stand-in makes the file before it writes its line.
  ASSERT_TRUE(PumpUntil([] { return ReadFileBytes("fake_game.exe.cmdline").find('\n') != std::string::npos; }))
      << "the game's command line";
  EXPECT_EQ(" 0 ann " + key + " 1700000000 7\n", ReadFileBytes("fake_game.exe.cmdline"));
  // One page hands over one login.
  url = LoginUrl("again");
  handler->TranslateUrl(0, &url[0], &out);
  EXPECT_EQ(ends + 1, FolderEnvironment::ends);
  handler->Release();
}

TEST_F(PanelPopups, LinePopupCentresOnThePanelAndKeepsTheChoice) {
  RECT popup = {}, panel = {};
  l.panel->GetWindowRect(&panel);
  ASSERT_TRUE(ClickAndAnswer(1009, 1056, &popup));  // netcom
  // The popup takes its picture's size (200 x 140), centred on the panel.
  const LONG x = panel.left + (panel.right - panel.left - 200) / 2, y = panel.top + (panel.bottom - panel.top - 140) / 2;
  EXPECT_EQ((std::vector<LONG>{x, y, x + 200, y + 140}), (std::vector<LONG>{popup.left, popup.top, popup.right, popup.bottom}));
  EXPECT_EQ(2, l.main->User().line);
  EXPECT_STREQ("网通", l.panel->Button(PanelLayout::kLine).Text());
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("line=\"2\""));
  // Telecom, then the exit button, which changes nothing.
  ASSERT_TRUE(ClickAndAnswer(1009, 1055));
  EXPECT_STREQ("电信", l.panel->Button(PanelLayout::kLine).Text());
  ASSERT_TRUE(ClickAndAnswer(1009, 1050));
  EXPECT_EQ(1, l.main->User().line);
  EXPECT_NE(std::string::npos, ReadFileBytes("LauncherCfg\\config.xml").find("line=\"1\""));
}

TEST_F(PanelPopups, UncheckedAgreementOpensTheNotesAndStaysUnchecked) {
  l.panel->SetAgreeChecked(false);
  std::string caption;
  ASSERT_TRUE(ClickAndAnswer(1010, 0, nullptr, &caption));
  EXPECT_EQ("更新公告", caption);
  EXPECT_EQ(0, l.main->User().agree);
}
