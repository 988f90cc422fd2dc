// The dialog framework in a window of its own (needs a display).
#include <gtest/gtest.h>

#include <thread>

#include "support/TestSupport.h"
#include "afx/AfxWin.h"

namespace {

const UINT kStep = WM_APP + 1;

class CountingButton : public CButton {
 public:
  void DrawItem(DRAWITEMSTRUCT* item) override { drawn += item != nullptr; }
  int drawn = 0;
};

class TestDlg : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  TestDlg() : CDialog(200) {}
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    initialised = true;
    PostMessage(kStep);
    return TRUE;
  }
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, 300, check);
    DDX_Control(dx, 301, progress);
    DDX_Control(dx, 320, drawn);
    exchanges += dx->m_bSaveAndValidate ? 100 : 1;
  }
  void OnOK() override {
    okSeen = true;
    CDialog::OnOK();
  }
  LRESULT OnStep(WPARAM, LPARAM) {
    if (script) script(this);
    return 0;
  }
  void OnButton(UINT id) { clicked.push_back(static_cast<int>(id)); }
  void OnLButtonDown(UINT, CPoint point) {
    mouse = point;
    Default();
  }

  void (*script)(TestDlg*) = nullptr;
  bool initialised = false, okSeen = false;
  int exchanges = 0;
  std::vector<int> clicked;
  CPoint mouse;
  CButton check;
  CProgressCtrl progress;
  CountingButton drawn;
};

BEGIN_MESSAGE_MAP(TestDlg, CDialog)
ON_MESSAGE(kStep, &TestDlg::OnStep)
ON_COMMAND_RANGE(310, 311, &TestDlg::OnButton)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < ms) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) AfxPumpMessage(&msg);
    Sleep(5);
  }
}

}  // namespace

TEST(AfxDialog, MessageMapDispatchAndDataExchange) {
  TestDlg dlg;
  dlg.script = [](TestDlg* d) {
    d->SendDlgItemMessage(311, BM_CLICK);
    d->SendDlgItemMessage(310, BM_CLICK);
    d->SendDlgItemMessage(300, BM_CLICK);  // an auto check box: checked by the click
    d->progress.SetRange32(0, 50);
    d->progress.SetPos(20);
    d->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
    d->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(7, 9));
    d->drawn.Invalidate();
    d->drawn.UpdateWindow();
    // Threads other than the window's see the same object for the handle.
    CWnd* seen = nullptr;
    std::thread([&] { seen = CWnd::FromHandlePermanent(d->m_hWnd); }).join();
    if (seen == d) d->GetDlgItem(IDOK)->SendMessage(BM_CLICK);
    if (!d->okSeen) d->EndDialog(IDABORT);  // the dialog ends either way: no hang
  };
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(dlg.initialised);
  EXPECT_TRUE(dlg.okSeen);
  EXPECT_EQ(dlg.clicked, (std::vector<int>{311, 310}));
  EXPECT_EQ(dlg.exchanges, 101);  // once out at init, once in at OK
  EXPECT_EQ(dlg.mouse, CPoint(7, 9));
  EXPECT_GE(dlg.drawn.drawn, 1);
  EXPECT_EQ(dlg.m_hWnd, nullptr);  // destroyed and unbound
  EXPECT_EQ(dlg.check.m_hWnd, nullptr);
}

TEST(AfxDialog, ControlsReadBack) {
  TestDlg dlg;
  dlg.script = [](TestDlg* d) {
    d->check.SetCheck(BST_CHECKED);
    d->progress.SetRange32(0, 50);
    d->progress.SetPos(20);
    int ok = d->check.GetCheck() == BST_CHECKED && d->progress.GetPos() == 20;
    CToolTipCtrl tip;
    ok &= tip.Create(d) && tip.AddTool(&d->check, "提示") && tip.GetToolCount() == 1;
    CString text;
    d->GetDlgItem(300)->GetWindowText(text);
    ok &= text == "选项";
    d->EndDialog(ok ? 7 : 8);
  };
  EXPECT_EQ(dlg.DoModal(), 7);
}

TEST(AfxDialog, NestedModalDisablesOnlyItsOwner) {
  static HWND other;
  static int ownerDuring, otherDuring, ownerAfter;
  other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                          nullptr);
  TestDlg outer;
  outer.script = [](TestDlg* d) {
    TestDlg inner;
    inner.m_pParentWnd = d;
    inner.script = [](TestDlg* in) {
      ownerDuring = IsWindowEnabled(in->m_pParentWnd->m_hWnd);
      otherDuring = IsWindowEnabled(other);
      in->EndDialog(IDCANCEL);
    };
    inner.DoModal();
    ownerAfter = d->IsWindowEnabled();
    d->EndDialog(IDCANCEL);
  };
  EXPECT_EQ(outer.DoModal(), IDCANCEL);
  EXPECT_EQ(ownerDuring, 0);
  EXPECT_NE(otherDuring, 0);
  EXPECT_NE(ownerAfter, 0);
  DestroyWindow(other);
}

TEST(AfxDialog, ModelessDialogAndMissingTemplate) {
  TestDlg panel;
  ASSERT_TRUE(panel.Create(200));
  EXPECT_TRUE(panel.initialised);
  PumpFor(100);
  panel.DestroyWindow();
  EXPECT_EQ(panel.m_hWnd, nullptr);

  testsupport::ReportCapture reports;
  CDialog missing(999);
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_EQ(reports.Count(), 1u);
}

TEST(AfxApp, MessageBoxesGoThroughTheSeam) {
  testsupport::ClearShownBoxes();
  AfxMessageBox("这是一个框", MB_ICONERROR);
  AfxMessageBox(400);
  auto boxes = testsupport::ShownBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "这是一个框");
  EXPECT_EQ(boxes[0].type, static_cast<unsigned>(MB_ICONERROR));
  EXPECT_EQ(boxes[1].text, "字符串资源");
}
