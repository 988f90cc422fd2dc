#include "PatchDlg.h"

#include <atomic>

#include "ChildControlDlg.h"
#include "FatalExit.h"
#include "LauncherIni.h"
#include "LauncherText.h"
#include "SkinSource.h"
#include "UpdateCfg.h"
#include "UpdateProtocol.h"
#include "XmlSave.h"
#include "common/EngineFun/ReportSink.h"
#include "common/Pack/PatchFolders.h"

namespace {

std::atomic<CPatchDlg*> g_mainWindow{nullptr};

const UINT kMainIcon = 128;

int ButtonIndex(LauncherButton button) {
  switch (button) {
    case LauncherButton::Start: return PanelLayout::kStart;
    case LauncherButton::Exit: return PanelLayout::kExit;
    default: return PanelLayout::kOptimize;
  }
}

// The layered window or a region could not be made: text 43 with the
// system's code, and the launcher ends.
void LayeredWindowFailed(DWORD error) {
  std::string text = FormatLauncherText(43, "d", static_cast<int>(error));
  EngineFunc::ShowMessageBox(nullptr, text.c_str(), nullptr, MB_OK);
  LauncherCfg::EndLauncherProcess(-1);
}

}  // namespace

CPatchDlg* TheMainWindow() { return g_mainWindow; }

UINT LinkClickedMessage() {
  static const UINT message = ::RegisterWindowMessageA("WM_LINK_CLICKED");
  return message;
}

BEGIN_MESSAGE_MAP(CPatchDlg, CDialog)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_QUERYDRAGICON()
ON_MESSAGE(WM_WINDOWPOSCHANGED, &CPatchDlg::OnWindowPosChanged)
ON_MESSAGE(WM_START_GAME, &CPatchDlg::OnStartGame)
ON_MESSAGE(WM_UPDATE_COMPLETE, &CPatchDlg::OnUpdateComplete)
ON_MESSAGE(WM_UPDATE_FAILED, &CPatchDlg::OnUpdateFailed)
ON_MESSAGE(WM_RUN_VERSION_UPDATE, &CPatchDlg::OnRunVersionUpdate)
ON_MESSAGE(WM_SELF_UPDATE, &CPatchDlg::OnSelfUpdate)
ON_MESSAGE(WM_AGREE_ON, &CPatchDlg::OnAgreeOn)
ON_MESSAGE(WM_AGREE_OFF, &CPatchDlg::OnAgreeOff)
ON_MESSAGE(LinkClickedMessage(), &CPatchDlg::OnLinkClicked)
END_MESSAGE_MAP()

CPatchDlg::CPatchDlg(CWnd* parent) : CDialog(IDD, parent) { g_mainWindow = this; }

CPatchDlg::~CPatchDlg() {
  // The run's threads end before the windows they talk to go.
  m_run.reset();
  m_panel.reset();
  if (m_memoryOld != nullptr) m_memoryDC.SelectObject(m_memoryOld);
  CPatchDlg* self = this;
  g_mainWindow.compare_exchange_strong(self, nullptr);
}

BOOL CPatchDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // A pack that does not open is found by the layout reader.
  SkinSource::OpenConfigPack();
  LoadUpdateCfg();
  LoadLauncherIni();
  LoadUserConfig();
  LoadLayout();
  SaveUserConfig();
  m_hIcon = AfxGetApp() != nullptr ? AfxGetApp()->LoadIcon(kMainIcon) : nullptr;
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  m_run.reset(new UpdateRun(this));
  if (!CreatePanel()) return FALSE;
  PlaceWindow();
  m_run->StartUpdateThread();
  return TRUE;
}

BOOL CPatchDlg::PreTranslateMessage(MSG* msg) {
  // Escape and Enter go to the window as they are, so neither closes it.
  if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) &&
      (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN))
    return FALSE;
  return CDialog::PreTranslateMessage(msg);
}

// ---------------------------------------------------------------- settings and layout

void CPatchDlg::LoadUserConfig() { LauncherCfg::LoadUserConfigFile(LauncherCfg::kUserConfigPath, &m_user); }

void CPatchDlg::SaveUserConfig() {
  LauncherCfg::MakeWritable(LauncherCfg::kUserConfigPath);
  LauncherCfg::SaveUserConfigFile(LauncherCfg::kUserConfigPath, m_user);
  LauncherCfg::SetMicroClientOpenFlag(m_user.microClientOpen);
}

void CPatchDlg::LoadLayout() {
  LauncherCfg::LoadLayoutFromPack(SkinSource::ConfigPack(), LauncherCfg::GetLauncherIni().launcherCfg.c_str(), m_hWnd,
                                  &m_layout);
}

// Every area the list shows is taken, 0 and those without a button too: the
// step's base address is looked up by this number.
void CPatchDlg::SelectArea(int32_t area) {
  afx::RunOnWindowThread(m_hWnd, [this, area] {
    if (m_panel) m_panel->OnArea(area);
  });
}

HBITMAP CPatchDlg::LoadSkinImage(const char* name, CWnd* window, int mode) {
  std::string bytes;
  if (SkinSource::ReadSkin(name, &bytes) != SkinSource::kRead) return nullptr;
  if (mode == 0) {
    CClientDC dc(window != nullptr ? window : this);
    return SkinSource::CreateBitmapFromBmp(dc, bytes);
  }
  // GDI+ decodes the whole picture as it loads it.
  if (SkinSource::CheckPictureBound(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
    m_background.LoadFromMemory(bytes.data(), bytes.size());
  else
    m_background.Free();
  return nullptr;
}

// ---------------------------------------------------------------- the window

bool CPatchDlg::MakeLayeredWindow() {
  ModifyStyleEx(0, WS_EX_LAYERED);
  LoadSkinImage(m_layout.image2.c_str(), this, 1);
  afx::ScopedGdiObj<HBITMAP> image(m_background.CreatePremultipliedDib());
  if (image.Get() == nullptr) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  CScreenDC screen;
  if (m_memoryDC.GetSafeHdc() == nullptr) m_memoryDC.CreateCompatibleDC(screen);
  if (m_memoryOld != nullptr) m_memoryDC.SelectObject(m_memoryOld);
  m_memoryBitmap.Attach(image.Release());
  m_memoryOld = m_memoryDC.SelectObject(m_memoryBitmap);
  return UpdateLayered();
}

bool CPatchDlg::UpdateLayered() {
  CScreenDC screen;
  CRect r;
  GetWindowRect(&r);
  POINT position = {r.left, r.top}, source = {0, 0};
  SIZE size = {m_background.Width(), m_background.Height()};
  return afx::UpdateLayeredWindowByName(m_hWnd, screen, &position, &size, m_memoryDC, &source, 0, &m_blend,
                                        ULW_ALPHA);
}

LRESULT CPatchDlg::OnWindowPosChanged(WPARAM, LPARAM lParam) {
  LRESULT result = Default();
  // Some window systems show a layered window only once it has been given
  // its picture while visible: give it again when it is shown.
  const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
  if (pos != nullptr && (pos->flags & SWP_SHOWWINDOW) && m_memoryOld != nullptr) UpdateLayered();
  return result;
}

bool CPatchDlg::CreatePanel() {
  if (!MakeLayeredWindow()) LayeredWindowFailed(::GetLastError());
  m_panel.reset(new CChildControlDlg(this));
  if (!m_panel->Create(CChildControlDlg::IDD, this)) return false;
  m_panel->ShowWindow(SW_SHOW);
  if (!m_layout.progress.image.empty()) {
    std::string bytes;
    if (SkinSource::ReadSkin(m_layout.progress.image.c_str(), &bytes) != SkinSource::kRead ||
        !m_panel->MergeBar().Load(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
      return false;
  }
  if (!m_layout.progress2.image.empty()) {
    std::string bytes;
    if (SkinSource::ReadSkin(m_layout.progress2.image.c_str(), &bytes) != SkinSource::kRead ||
        !m_panel->StageBar().Load(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
      return false;
  }
  if (!m_layout.font.face.empty())
    m_statusFont.CreateFont(m_layout.font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                            m_layout.font.face.c_str());
  if (!m_layout.font2.face.empty())
    m_font2.CreateFont(m_layout.font2.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       m_layout.font2.face.c_str());
  CSkinButton& start = m_panel->Button(PanelLayout::kStart);
  CSkinButton& agree = m_panel->Button(PanelLayout::kAgree);
  if (m_user.agree == 0) {
    start.DisableButton();
    agree.DisableButton();
  } else {
    start.EnableButton();
    agree.EnableButton();
  }
  return true;
}

void CPatchDlg::PlaceWindow() {
  CRect r;
  GetWindowRect(&r);
  int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  // Centred; a window larger than the screen overhangs evenly on both sides.
  int x = (screenWidth - r.Width()) / 2, y = (screenHeight - r.Height()) / 2;
  SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(&r);
  if (m_panel) {
    m_panel->MoveWindow(r, TRUE);
    m_panel->PaintWholeThenClip();
  }
  SetWindowText(m_layout.caption.c_str());
}

void CPatchDlg::OnPaint() { CPaintDC dc(this); }

void CPatchDlg::BeginDrag(POINT clientPoint) {
  m_dragging = true;
  m_dragPoint = clientPoint;
  SetCapture();
}

void CPatchDlg::EndDrag() {
  m_dragging = false;
  ReleaseCapture();
}

void CPatchDlg::DragTo(POINT clientPoint) {
  if (!m_dragging) return;
  CRect r;
  GetWindowRect(&r);
  int x = r.left + clientPoint.x - m_dragPoint.x, y = r.top + clientPoint.y - m_dragPoint.y;
  const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;
  SetWindowPos(nullptr, x, y, 0, 0, flags);
  if (m_panel) m_panel->SetWindowPos(nullptr, x, y, 0, 0, flags);
}

void CPatchDlg::OnLButtonDown(UINT, CPoint point) {
  if (!m_dragging) BeginDrag(point);
}

void CPatchDlg::OnMouseMove(UINT, CPoint point) { DragTo(point); }

void CPatchDlg::OnLButtonUp(UINT, CPoint) {
  if (m_dragging) EndDrag();
}

// ---------------------------------------------------------------- the run's messages

void CPatchDlg::EnterStepButtons() {
  EnableButton(LauncherButton::Start, false);
  EnableButton(LauncherButton::Exit, true);
  EnableButton(LauncherButton::Optimise, false);
}

LRESULT CPatchDlg::OnStartGame(WPARAM, LPARAM) {
  PackClient::DeleteFolderTree(m_run->PatchFolder().c_str(), false);
  m_run->StartGameClient();
  if (m_panel) m_panel->QuitLauncher(false);
  return 0;
}

LRESULT CPatchDlg::OnUpdateComplete(WPARAM, LPARAM) {
  ::OutputDebugStringA("更新完成");
  if (m_user.agree) {
    if (m_user.webMode) {
      if (m_panel) m_panel->NavigateBrowser();
    } else {
      EnableButton(LauncherButton::Start, true);
    }
  }
  EnableButton(LauncherButton::Exit, true);
  if (m_run->Local().superVar) {
    ShowButton(LauncherButton::Optimise, true);
    EnableButton(LauncherButton::Optimise, true);
  }
  m_run->SetStage(UpdateStage::Done);
  // A run in which no download reported progress still shows a full bar.
  if (m_run->ProgressDone() == 0 || m_run->ProgressTotal() == 0) m_run->SetProgress(100, 100);
  return 0;
}

LRESULT CPatchDlg::OnUpdateFailed(WPARAM, LPARAM) {
  EnableButton(LauncherButton::Start, false);
  return 0;
}

LRESULT CPatchDlg::OnRunVersionUpdate(WPARAM, LPARAM) {
  EnterStepButtons();
  m_run->StartVersionUpdate(m_user.bigArea);
  return 0;
}

LRESULT CPatchDlg::OnSelfUpdate(WPARAM, LPARAM) {
  EnterStepButtons();
  if (m_run->StartLauncherSelfUpdate() && m_panel) m_panel->QuitLauncher(false);
  return 0;
}

LRESULT CPatchDlg::OnAgreeOn(WPARAM, LPARAM) {
  if (!m_user.agree && m_panel) m_panel->SetAgreeChecked(true);
  return 0;
}

LRESULT CPatchDlg::OnAgreeOff(WPARAM, LPARAM) {
  if (m_user.agree && m_panel) m_panel->SetAgreeChecked(false);
  return 0;
}

LRESULT CPatchDlg::OnLinkClicked(WPARAM, LPARAM) {
  // The player clicked and nothing opened: say so rather than nothing.
  EngineFunc::ShowMessageBox(m_hWnd, "无法打开链接", LauncherText(16).c_str(), MB_OK | MB_ICONWARNING);
  return 0;
}

// ---------------------------------------------------------------- the run's window (any thread)

UpdateSettings CPatchDlg::Settings() {
  UpdateSettings s;
  afx::RunOnWindowThread(m_hWnd, [this, &s] {
    s.selectedBigArea = m_user.bigArea;
    s.agree = m_user.agree != 0;
    s.microClientOpen = m_user.microClientOpen;
    s.webMode = m_user.webMode;
    s.selectedLine = m_user.line;
    s.exeName = m_layout.exeName;
    s.emergencyExeName = m_layout.emergencyExeName;
  });
  return s;
}

std::string CPatchDlg::Text(int32_t id) { return LauncherText(id); }

void CPatchDlg::EnableButton(LauncherButton button, bool enable) {
  afx::RunOnWindowThread(m_hWnd, [this, button, enable] {
    if (!m_panel) return;
    CSkinButton& b = m_panel->Button(ButtonIndex(button));
    if (enable)
      b.EnableButton();
    else
      b.DisableButton();
  });
}

void CPatchDlg::ShowButton(LauncherButton button, bool show) {
  afx::RunOnWindowThread(m_hWnd, [this, button, show] {
    if (m_panel) m_panel->Button(ButtonIndex(button)).ShowWindow(show ? SW_SHOW : SW_HIDE);
  });
}

void CPatchDlg::RedrawPanel() {
  afx::RunOnWindowThread(m_hWnd, [this] {
    if (m_panel) m_panel->Invalidate(FALSE);
  });
}

void CPatchDlg::ShowAreaButton(int32_t area, int32_t resindex) {
  afx::RunOnWindowThread(m_hWnd, [this, area, resindex] {
    if (m_panel) m_panel->ShowAreaButton(area, resindex != 0);
  });
}

void CPatchDlg::QuitLauncher(bool restart) {
  afx::RunOnWindowThread(m_hWnd, [this, restart] {
    if (m_panel) m_panel->QuitLauncher(restart);
  });
}
