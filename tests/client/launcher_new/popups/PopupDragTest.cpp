// A press anywhere on a popup's own surface starts the system's move, as
// a press on a caption would.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "OptimizationDlg.h"
#include "SelectLineDlg.h"
#include "UpdateNotesDlg.h"

namespace {

bool NeverRunning(const std::string&) { return false; }
bool PlentyOfSpace(uint32_t, uint32_t) { return true; }

TEST(PopupDrag, PressStartsTheSystemMove) {
  const LauncherCfg::LauncherLayout layout;
  OptimisedPacks none = {};
  std::unique_ptr<CDialog> popups[] = {
      std::unique_ptr<CDialog>(new CDlg_agreement(nullptr, {}, "1.0")),
      std::unique_ptr<CDialog>(new CDlg_selectline(nullptr, layout, nullptr)),
      std::unique_ptr<CDialog>(new CDlg_Optimization(nullptr, OptimisationChecks{"", &NeverRunning, &PlentyOfSpace}, none)),
  };
  const UINT ids[] = {CDlg_agreement::IDD, CDlg_selectline::IDD, CDlg_Optimization::IDD};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(popups[i]->Create(ids[i])) << ids[i];
    HWND popup = popups[i]->m_hWnd;
    ::SendMessageA(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    // Taken off the queue before the move loop could run under the test.
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageA(&msg, popup, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) << ids[i];
    EXPECT_EQ(static_cast<WPARAM>(SC_MOVE | HTCAPTION), msg.wParam) << ids[i];
    popups[i]->DestroyWindow();
  }
}

}  // namespace
