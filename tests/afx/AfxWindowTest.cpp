// The window layer's own windows, worker-to-window calls, layered windows,
// regions and scoped owners (needs a display).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "afx/AfxWin.h"
#include "support/TestSupport.h"

namespace {

class Recorder : public CWnd {
  DECLARE_MESSAGE_MAP()

 public:
  int OnCreate(CREATESTRUCTA* cs) {
    events.push_back("create");
    boundAtCreate = FromHandlePermanent(m_hWnd) == this && cs->lpCreateParams == this;
    return 0;
  }
  void OnSize(UINT, int cx, int cy) { events.push_back("size " + std::to_string(cx) + "x" + std::to_string(cy)); }
  std::vector<std::string> events;
  bool boundAtCreate = false;
};

BEGIN_MESSAGE_MAP(Recorder, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
END_MESSAGE_MAP()

// The window's thread pumps until the worker is done: the worker waits on it.
testing::AssertionResult PumpUntil(const std::atomic<bool>& done) {
  return testsupport::WaitFor("the worker's calls on the window's thread", [&] {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    return done.load();
  });
}

struct Counted : IUnknown {
  LONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

}  // namespace

TEST(AfxWindow, OwnClassBindsFromTheFirstMessages) {
  const char* cls = AfxRegisterWndClass(CS_HREDRAW, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  ASSERT_NE(nullptr, cls);
  Recorder w;
  ASSERT_TRUE(w.CreateEx(0, cls, "rec", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(10, 10, 130, 90), nullptr, 0));
  ASSERT_GE(w.events.size(), 2u);
  EXPECT_EQ("create", w.events[0]);
  EXPECT_EQ(0u, w.events[1].find("size "));
  EXPECT_TRUE(w.boundAtCreate);
  // A system class is subclassed after the fact instead.
  CWnd edit;
  ASSERT_TRUE(edit.CreateEx(0, "Edit", "", WS_CHILD, CRect(0, 0, 20, 20), &w, 5));
  EXPECT_EQ(&edit, CWnd::FromHandlePermanent(edit.m_hWnd));
  HWND hwnd = w.m_hWnd;
  w.DestroyWindow();
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
}

TEST(AfxWindow, TasksFromAWorkerRunOnTheWindowThreadInOrder) {
  Recorder w;
  ASSERT_TRUE(w.CreateEx(0, AfxRegisterWndClass(0), "t", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  std::vector<int> order;
  std::vector<DWORD> threads;
  std::atomic<bool> done(false);
  bool ran = false;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      ran = afx::RunOnWindowThread(w.m_hWnd, [&, i] {
        order.push_back(i);
        threads.push_back(GetCurrentThreadId());
      });
    done = true;
  });
  EXPECT_TRUE(PumpUntil(done));
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_EQ((std::vector<int>{0, 1, 2}), order);
  for (DWORD t : threads) EXPECT_EQ(GetCurrentThreadId(), t);
  // On the window's own thread it runs at once.
  int here = 0;
  EXPECT_TRUE(afx::RunOnWindowThread(w.m_hWnd, [&] { here = 1; }));
  EXPECT_EQ(1, here);
  // The message with a number nobody handed out runs nothing.
  SendMessageA(w.m_hWnd, RegisterWindowMessageA("ZarnWindowTask"), 0, 0x7FFF1234);
  HWND gone = w.m_hWnd;
  w.DestroyWindow();
  EXPECT_FALSE(afx::RunOnWindowThread(gone, [&] { here = 2; }));
  EXPECT_EQ(1, here);
}

TEST(AfxWindow, LayeredCallsRefuseAPlainWindowAndNoRectsMakeAnEmptyRegion) {
  CWnd w;
  ASSERT_TRUE(w.CreateEx(0, AfxRegisterWndClass(0), "l", WS_POPUP, CRect(0, 0, 40, 30), nullptr, 0));
  // Not layered yet: refused, with the system's reason.
  EXPECT_FALSE(afx::SetLayeredWindowAttributesByName(w.m_hWnd, RGB(255, 0, 255), 0, LWA_COLORKEY));
  w.ModifyStyleEx(0, WS_EX_LAYERED);
  EXPECT_TRUE(afx::SetLayeredWindowAttributesByName(w.m_hWnd, RGB(255, 0, 255), 0, LWA_COLORKEY));
  CRgn empty;
  ASSERT_TRUE(empty.CreateFromRects(nullptr, 0));
  RECT box;
  EXPECT_EQ(NULLREGION, GetRgnBox(empty, &box));
}

TEST(AfxWindow, ScopedOwnersCloseOnceOnEveryPath) {
  HANDLE raw;
  {
    afx::ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    raw = event.Get();
    DWORD flags;
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
    afx::ScopedHandle moved(std::move(event));
    EXPECT_FALSE(event.IsValid());
    EXPECT_EQ(raw, moved.Get());
  }
  DWORD flags;
  EXPECT_FALSE(GetHandleInformation(raw, &flags));
  {
    afx::ScopedHandle none(INVALID_HANDLE_VALUE);  // a failed CreateFile
    EXPECT_FALSE(none.IsValid());
    afx::ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, 16));
    HGLOBAL kept = memory.Release();
    EXPECT_FALSE(memory.IsValid());
    GlobalFree(kept);
  }
  Counted object;
  {
    object.AddRef();
    afx::ScopedCom<IUnknown> ref(&object);
    EXPECT_EQ(2, object.refs);
  }
  EXPECT_EQ(1, object.refs);
  {
    afx::ScopedComInit outer;
    ASSERT_TRUE(outer.Succeeded());
    { afx::ScopedComInit inner; }
    // The inner one undid only its own count: COM is still up here.
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
    CoUninitialize();
  }
}
