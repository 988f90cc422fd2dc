// The browser host in a small window of its own. Wine here has no HTML
// engine, so pages stay blank: the control is checked for its place, its
// navigation request and its teardown, and the host's answers by calling
// its interfaces directly.
#include "TestHttpServer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ScriptExternal.h"
#include "support/TestSupport.h"
#include "WebBrowser2.h"
#include "WebLogin.h"
#include "common/StrUtil.h"

namespace {

const char kHostClass[] = "BrowserTestHost";

class HostWindow : public CWnd {
 public:
  HostWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    ::RegisterClassA(&wc);
    CreateEx(0, kHostClass, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 800, 600), nullptr, 0);
  }
};

// Runs this thread's messages for about ms milliseconds, or until done().
template <class Done> bool Pump(DWORD ms, Done done) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (::GetTickCount() - start > ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

class BrowserHost : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    ASSERT_NE(nullptr, host.m_hWnd);
  }
  void TearDown() override {
    if (handler != nullptr) handler->Release();
    browser.DestroyWindow();
    host.DestroyWindow();
    ::OleUninitialize();
  }
  // The control in the host and its site's document-host handler.
  void Create() {
    ASSERT_TRUE(browser.CreateControl(nullptr, WS_VISIBLE, CRect(0, 0, 400, 300), &host, 1060));
    browser.Site()->QueryInterface(__uuidof(IDocHostUIHandler), reinterpret_cast<void**>(&handler));
    ASSERT_NE(nullptr, handler);
  }

  HostWindow host;
  CWebBrowser2 browser;
  IDocHostUIHandler* handler = nullptr;
};

RECT ChildRect(HWND child, HWND parent) {
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST_F(BrowserHost, ControlSitsAtItsRectangleAndNavigates) {
  const CRect place(30, 40, 530, 390);
  ASSERT_TRUE(browser.CreateControl(nullptr, WS_VISIBLE, place, &host, 1060));
  ASSERT_TRUE(browser.HasControl());
  HWND container = ::GetDlgItem(host.m_hWnd, 1060);
  ASSERT_EQ(browser.m_hWnd, container);
  const RECT placed = ChildRect(container, host.m_hWnd);
  EXPECT_TRUE(::EqualRect(&place, &placed));
  // The control's own window follows the container's size.
  HWND inner = ::GetWindow(container, GW_CHILD);
  ASSERT_NE(nullptr, inner);
  browser.MoveWindow(10, 10, 300, 200);
  const RECT r = ChildRect(inner, container);
  EXPECT_EQ(std::make_pair(300L, 200L), std::make_pair(r.right - r.left, r.bottom - r.top));

  testhttp::Server server([](const std::string&, int) {
    return testhttp::Script{testhttp::Send(testhttp::Reply("200 OK", "Content-Type: text/html\r\nContent-Length: 13\r\n",
                                                           "<html></html>"))};
  });
  const std::string page = server.Url("/launcher/page.html");
  ASSERT_TRUE(browser.NavigateUncached(page.c_str()));
  // The page is fetched (and stays blank without an HTML engine).
  EXPECT_TRUE(Pump(testsupport::kEventWaitMs, [&] { return server.RequestCount() > 0; })) << "the page's request";
  if (server.RequestCount() > 0) {
    EXPECT_EQ(0u, server.Requests()[0].find("GET /launcher/page.html "));
  }

  // Teardown: the control's windows go with the container, the site with the control.
  ::DestroyWindow(container);
  EXPECT_FALSE(::IsWindow(inner));
  EXPECT_FALSE(browser.HasControl());
  EXPECT_EQ(nullptr, browser.Site());
}

TEST_F(BrowserHost, GivesTheInstalledExternalAndShowsScriptBoxesWhole) {
  ASSERT_NO_FATAL_FAILURE(Create());
  // No 3-D border around the page; double clicks as the page wants them.
  DOCHOSTUIINFO info = {sizeof(info), 0xFFFF, 0xFFFF, nullptr, nullptr};
  ASSERT_EQ(S_OK, handler->GetHostInfo(&info));
  EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER), info.dwFlags);
  EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT), info.dwDoubleClick);

  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(E_NOTIMPL, handler->GetExternal(&external));  // nothing installed
  EXPECT_EQ(nullptr, external);
  CImpIDispatch installed;
  InstallScriptExternal(&installed);
  ASSERT_EQ(S_OK, handler->GetExternal(&external));
  EXPECT_EQ(static_cast<IDispatch*>(&installed), external);
  EXPECT_EQ(1, installed.RefCount());
  // IUnknown is refused on purpose, and a refusal takes no reference.
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, installed.QueryInterface(IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(1, installed.RefCount());
  external->Release();
  InstallScriptExternal(nullptr);

  // A script's box: the launcher's error box with the whole text.
  IDocHostShowUI* showUi = nullptr;
  ASSERT_EQ(S_OK, browser.Site()->QueryInterface(__uuidof(IDocHostShowUI), reinterpret_cast<void**>(&showUi)));
  testsupport::ClearShownBoxes();
  std::wstring alert = StrUtil::Utf8ToWide("登录失败:") + std::wstring(400, L'x');
  EXPECT_EQ(S_OK, showUi->ShowMessage(host.m_hWnd, &alert[0], nullptr, MB_OK, nullptr, 0, nullptr));
  std::vector<testsupport::ShownBox> boxes = testsupport::ShownBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(StrUtil::WideToAnsi(alert.c_str()), boxes[0].text);
  EXPECT_EQ("launcher", boxes[0].caption);
  EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), boxes[0].type);
  showUi->Release();
}

struct Recorder : IWebLoginTarget {
  std::vector<std::string> args;
  bool HandOffBlocked() override { return false; }
  void StartGameWithLogin(int32_t area, const std::string& a) override { args.push_back(std::to_string(area) + a); }
};

void HandToLogin(void* context, const wchar_t* url) { static_cast<WebLoginHandOff*>(context)->OnTranslateUrl(url); }

TEST_F(BrowserHost, HandsEveryAddressOverUnchanged) {
  ASSERT_NO_FATAL_FAILURE(Create());
  Recorder recorder;
  WebLoginHandOff handOff(&recorder);
  browser.SetUrlHandler(&HandToLogin, &handOff);
  const struct {
    const wchar_t* url;
    size_t starts;
  } cases[] = {
      {L"http://127.0.0.1/news.html", 0},
      {L"http://127.0.0.1/login?form=launcher&f_bigarea=2&f_user=ann&f_key=k&f_time=t&f_server=9", 1},
  };
  for (const auto& c : cases) {
    LPWSTR out = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_NOTIMPL, handler->TranslateUrl(0, const_cast<LPWSTR>(c.url), &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(c.starts, recorder.args.size());
  }
  EXPECT_EQ("2 0 ann k t 9", recorder.args.at(0));
}

// Input as the keyboard gives it, then the message as the thread reads it;
// false when the message does not come because another window has the focus.
bool Key(HWND focus, WORD vk, bool down, MSG* seen) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  if (::SendInput(1, &input, sizeof(input)) != 1) return false;
  const UINT want = down ? WM_KEYDOWN : WM_KEYUP;
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 60000 && ::GetForegroundWindow() == focus) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == want && msg.wParam == vk) {
        *seen = msg;
        return true;
      }
      ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return false;
}

struct KeyCase {
  WORD modifier;  // 0: none
  WORD key;
  HRESULT down;
};

// The case's keys are down as the filter reads them: the key from the
// keyboard's state, the modifier from the thread's.
bool Held(const KeyCase& c) {
  return ::GetAsyncKeyState(c.key) < 0 && (c.modifier == 0 || ::GetKeyState(c.modifier) < 0);
}

TEST_F(BrowserHost, KeyFilterSwallowsRefreshOpenPrintAndNewWindow) {
  ASSERT_NO_FATAL_FAILURE(Create());
  const KeyCase cases[] = {
      {0, VK_F5, S_OK},          {VK_CONTROL, 'O', S_OK},    {VK_CONTROL, 'P', S_OK}, {VK_CONTROL, 'N', S_OK},
      {0, 'O', S_FALSE},         {VK_CONTROL, 'A', S_FALSE}, {VK_SHIFT, 'N', S_FALSE}, {0, VK_F6, S_FALSE},
  };
  for (const KeyCase& c : cases) {
    // A window of another program on the display that takes the focus
    // (another test's) takes the keys too, and the keyboard's state is then
    // read again from the display, which never saw these keys: a key that
    // was not held all through the filter's reading is pressed again.
    MSG msg;
    HRESULT result = E_FAIL;
    bool held = false;
    for (int attempt = 0; attempt < 20; ++attempt) {
      ::SetForegroundWindow(host.m_hWnd);
      ::SetFocus(host.m_hWnd);
      if ((c.modifier == 0 || Key(host.m_hWnd, c.modifier, true, &msg)) && Key(host.m_hWnd, c.key, true, &msg) &&
          Held(c)) {
        result = handler->TranslateAccelerator(&msg, nullptr, 0);
        held = Held(c);
      }
      if (held) break;
      Key(host.m_hWnd, c.key, false, &msg);
      if (c.modifier != 0) Key(host.m_hWnd, c.modifier, false, &msg);
    }
    ASSERT_TRUE(held) << "the keys were never held through the filter: " << c.modifier << "+" << c.key;
    EXPECT_EQ(c.down, result) << c.modifier << "+" << c.key;
    msg.message = WM_KEYUP;  // only a key going down is filtered
    EXPECT_EQ(S_FALSE, handler->TranslateAccelerator(&msg, nullptr, 0));
    Key(host.m_hWnd, c.key, false, &msg);  // released even when the focus went elsewhere
    if (c.modifier != 0) Key(host.m_hWnd, c.modifier, false, &msg);
  }
}

}  // namespace
