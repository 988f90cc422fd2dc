#include "ChildControlDlg.h"

#include "FatalExit.h"
#include "LauncherText.h"
#include "PatchDlg.h"
#include "SkinSource.h"
#include "common/EngineFun/ReportSink.h"

namespace {

const UINT_PTR kRepaintTimer = 0;
const UINT kRepaintMs = 100;

// The window could not be made layered or given its region: text 43 with
// the system's code, and the launcher ends.
void PanelWindowFailed() {
  std::string text = FormatLauncherText(43, "d", static_cast<int>(::GetLastError()));
  EngineFunc::ShowMessageBox(nullptr, text.c_str(), nullptr, MB_OK);
  LauncherCfg::EndLauncherProcess(-1);
}

COLORREF ColorOf(const LauncherCfg::LayoutColor& c) {
  return RGB(c.red & 0xFF, c.green & 0xFF, c.blue & 0xFF);
}

void DrawText(HDC dc, const LauncherCfg::LayoutPoint& at, const std::string& text) {
  if (!text.empty()) ::TextOutA(dc, at.x, at.y, text.c_str(), static_cast<int>(text.size()));
}

RECT ToRect(const LauncherCfg::LayoutRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

BEGIN_MESSAGE_MAP(CChildControlDlg, CDialog)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_TIMER()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(1000, &CChildControlDlg::OnStart)
ON_BN_CLICKED(1022, &CChildControlDlg::OnMinimize)
ON_BN_CLICKED(1001, &CChildControlDlg::OnExit)
ON_BN_CLICKED(1005, &CChildControlDlg::OnSettings)
ON_COMMAND_RANGE(1003, 1004, &CChildControlDlg::OnLink)
ON_COMMAND_RANGE(1006, 1008, &CChildControlDlg::OnLink)
ON_BN_CLICKED(1009, &CChildControlDlg::OnLine)
ON_BN_CLICKED(1010, &CChildControlDlg::OnAgree)
ON_BN_CLICKED(1011, &CChildControlDlg::OnOptimize)
ON_COMMAND_RANGE(1012, 1021, &CChildControlDlg::OnAreaButton)
ON_BN_CLICKED(1050, &CChildControlDlg::OnUpdateNotes)
END_MESSAGE_MAP()

CChildControlDlg::CChildControlDlg(CPatchDlg* main) : CDialog(IDD, main), m_main(main) {}

BOOL CChildControlDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  for (int i = 0; i < PanelLayout::kButtonCount; ++i) m_buttons[i].SubclassDlgItem(PanelLayout::kButtonIds[i], this);
  if (!SetUpWindow()) PanelWindowFailed();
  LayOut();
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  if (CWnd* notes = GetDlgItem(kNotesButtonId))
    notes->MoveWindow(layout.clientVer.x, layout.clientVer.y - 30, 70, 20, TRUE);
  SetTimer(kRepaintTimer, kRepaintMs);
  if (CWnd* combo = GetDlgItem(kAreaComboId)) combo->ShowWindow(SW_HIDE);
  if (CWnd* notes = GetDlgItem(kNotesButtonId)) notes->ShowWindow(SW_HIDE);
  SetLineButtonText(m_main->User().line);
  return TRUE;
}

bool CChildControlDlg::SetUpWindow() {
  m_background.CreateSolidBrush(kColorKey);
  ModifyStyleEx(0, WS_EX_LAYERED);
  if (!afx::SetLayeredWindowAttributesByName(m_hWnd, kColorKey, 0, LWA_COLORKEY)) return false;
  // No picture, no region: the panel is then as its colour key makes it.
  HRGN region = SkinSource::CreateSkinRegion(m_main->LayoutData().image.c_str());
  if (region == nullptr) return true;
  if (!SetWindowRgn(region, FALSE)) {
    ::DeleteObject(region);
    return false;
  }
  return true;  // the window owns the region now
}

bool CChildControlDlg::LoadSkinPicture(const std::string& name, CPicture* picture) {
  std::string bytes;
  switch (SkinSource::ReadSkin(name.c_str(), &bytes)) {
    case SkinSource::kPackClosed: return true;
    case SkinSource::kRead: return picture->Load(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    default: return false;
  }
}

bool CChildControlDlg::LoadSkinButton(const std::string& name, CSkinButton* button) {
  std::string bytes;
  switch (SkinSource::ReadSkin(name.c_str(), &bytes)) {
    case SkinSource::kPackClosed: return true;
    case SkinSource::kRead:
      return button->LoadSkin(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    default: return false;
  }
}

void CChildControlDlg::LayOut() {
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  bool web = m_main->User().webMode;
  if (!layout.image.empty()) LoadSkinPicture(layout.image, &m_picture);
  if (!web) NavigateBrowser();
  m_areaMap.clear();
  std::vector<PanelLayout::ButtonPlan> plans = PanelLayout::PlanButtons(layout.buttons, web);
  for (int i = 0; i < PanelLayout::kButtonCount; ++i) {
    const PanelLayout::ButtonPlan& plan = plans[static_cast<size_t>(i)];
    CSkinButton& button = m_buttons[i];
    if (!plan.skinned || button.m_hWnd == nullptr) continue;
    if (!LoadSkinButton(plan.image, &button)) continue;
    if (plan.ellipse) button.SetRoundRegion();
    button.MoveWindow(plan.x, plan.y, plan.width, plan.height, TRUE);
    button.SetToolTip(plan.tip.c_str());
    if (plan.area >= 0) m_areaMap[plan.area] = &button;
    if (plan.hidden) button.ShowWindow(SW_HIDE);
  }
}

void CChildControlDlg::PaintWholeThenClip() {
  HRGN region = SkinSource::CreateSkinRegion(m_main->LayoutData().image.c_str());
  if (region == nullptr) return;
  SetWindowRgn(nullptr, FALSE);
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  if (!SetWindowRgn(region, FALSE)) {
    ::DeleteObject(region);
    PanelWindowFailed();
  }
}

// ---------------------------------------------------------------- drawing

void CChildControlDlg::OnPaint() {
  CPaintDC dc(this);
  CRect mine, main;
  GetWindowRect(&mine);
  m_main->GetWindowRect(&main);
  if (mine.left != main.left || mine.top != main.top)
    SetWindowPos(nullptr, main.left, main.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PaintInto(dc);
}

void CChildControlDlg::PaintInto(HDC target) {
  CRect client;
  GetClientRect(&client);
  CMemoryDC memory(target);
  CBitmap bitmap;
  if (!bitmap.CreateCompatibleBitmap(target, client.Width(), client.Height())) return;
  afx::ScopedSelect hold(memory, bitmap);
  memory.FillSolidRect(client, RGB(255, 255, 255));
  m_picture.Render(client, memory);
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  {
    afx::ScopedSelect font(memory, m_main->SecondFont());
    memory.SetTextColor(ColorOf(layout.font2.color));
    memory.SetBkMode(TRANSPARENT);
    DrawBars(memory);
    DrawVersions(memory);
  }
  {
    afx::ScopedSelect font(memory, m_main->StatusFont());
    memory.SetTextColor(ColorOf(layout.font.color));
    memory.SetBkMode(TRANSPARENT);
    DrawStatus(memory);
  }
  ::BitBlt(target, 0, 0, client.Width(), client.Height(), memory, 0, 0, SRCCOPY);
}

void CChildControlDlg::DrawBars(HDC dc) {
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  UpdateRun* run = m_main->Run();
  if (run == nullptr) return;
  struct Bar {
    const CDib& image;
    const LauncherCfg::ProgressBarLayout& place;
    int64_t done, total;
  } bars[] = {
      {m_stageBar, layout.progress2, run->ProgressDone(), run->ProgressTotal()},
      {m_mergeBar, layout.progress, run->FilesMerged(), run->FilesToMerge()},
  };
  for (const Bar& bar : bars) {
    PanelStatus::BarFill fill = PanelStatus::ComputeBarFill(bar.done, bar.total, bar.image.Width());
    if (fill.draw && fill.width > 0)
      bar.image.Draw(dc, bar.place.position.x, bar.place.position.y, fill.width, bar.image.Height(), fill.width,
                     bar.image.Height());
    DrawText(dc, bar.place.textPosition, PanelStatus::PercentText(fill.percent));
  }
}

void CChildControlDlg::DrawVersions(HDC dc) {
  UpdateRun* run = m_main->Run();
  if (run == nullptr) return;
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  DrawText(dc, layout.clientVer, run->Local().clientVersion);
  std::string newest = run->NewShowVersion();
  if (!newest.empty()) DrawText(dc, layout.serverVer, newest + " ");
}

std::string CChildControlDlg::StatusLine() {
  UpdateRun* run = m_main->Run();
  if (run == nullptr) return std::string();
  PanelStatus::StatusInputs in;
  in.stage = static_cast<int>(run->Stage());
  // Done shows full merge counts.
  if (in.stage == static_cast<int>(UpdateStage::Done) && run->FilesMerged() != run->FilesToMerge())
    run->SetMergeProgress(run->FilesToMerge(), run->FilesToMerge());
  in.done = run->ProgressDone();
  in.total = run->ProgressTotal();
  in.merged = run->FilesMerged();
  in.toMerge = run->FilesToMerge();
  in.checked = run->ClientCheckDone();
  in.toCheck = run->ClientCheckTotal();
  in.stepVersion = run->PendingShowVersion();
  return PanelStatus::FormatStatusLine(in, &LauncherText, &m_clock, ::GetTickCount());
}

void CChildControlDlg::DrawStatus(HDC dc) {
  std::string line = StatusLine();
  DrawText(dc, m_main->LayoutData().text, line);
  // The panel has no caption: its text is the status line, for whoever
  // reads windows instead of pixels (a screen reader, the window tests).
  if (line != m_shownLine) {
    m_shownLine = line;
    SetWindowText(line.c_str());
  }
}

BOOL CChildControlDlg::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }

void CChildControlDlg::OnTimer(UINT_PTR) {
  Default();
  const LauncherCfg::LauncherLayout& layout = m_main->LayoutData();
  RECT text = ToRect(layout.refreshText), versions = ToRect(layout.refreshVer);
  InvalidateRect(&text, FALSE);
  InvalidateRect(&versions, FALSE);
}

HBRUSH CChildControlDlg::OnCtlColor(CDC*, CWnd*, UINT kind) {
  if (kind == CTLCOLOR_DLG) return m_background;
  return reinterpret_cast<HBRUSH>(Default());
}

// ---------------------------------------------------------------- keys and mouse

BOOL CChildControlDlg::PreTranslateMessage(MSG* msg) {
  if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == VK_ESCAPE) return FALSE;
  return CDialog::PreTranslateMessage(msg);
}

void CChildControlDlg::OnLButtonDown(UINT, CPoint point) {
  // Both windows share their origin, so the point means the same to both.
  if (!m_main->IsDragging()) m_main->BeginDrag(point);
  Default();
}

void CChildControlDlg::OnLButtonUp(UINT, CPoint) {
  if (m_main->IsDragging()) m_main->EndDrag();
}

void CChildControlDlg::OnMouseMove(UINT, CPoint point) { m_main->DragTo(point); }
