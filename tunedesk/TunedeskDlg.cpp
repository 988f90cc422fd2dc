#include "TunedeskDlg.h"

#include "DisplaySettings.h"

using tunedesk::Settings;

BEGIN_MESSAGE_MAP(CTunedeskDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_COMMAND(IDOK, &CTunedeskDlg::OnApply)
ON_COMMAND_RANGE(IDC_RES_1024X768, IDC_RES_1680X1050, &CTunedeskDlg::OnResolutionClicked)
ON_COMMAND(IDC_MODE_WINDOW, &CTunedeskDlg::OnModeWindow)
ON_COMMAND(IDC_MODE_MAXIMIZED, &CTunedeskDlg::OnModeMaximized)
ON_COMMAND(IDC_MODE_FULLSCREEN, &CTunedeskDlg::OnModeFullScreen)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CTunedeskDlg::CTunedeskDlg(CWnd* parent)
    : CDialog(IDD_TUNEDESK_DIALOG, parent), m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr) {}

int CTunedeskDlg::RadioId(int index) {
  const int modeIds[] = {IDC_MODE_WINDOW, IDC_MODE_MAXIMIZED, IDC_MODE_FULLSCREEN};
  return index < kResolutionRadios ? IDC_RES_1024X768 + index : modeIds[index - kResolutionRadios];
}

void CTunedeskDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  for (int i = 0; i < kRadios; ++i) DDX_Control(dx, RadioId(i), m_radios[i]);
}

BOOL CTunedeskDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CString about;
  about.LoadString(IDS_ABOUTBOX);
  CMenu* menu = GetSystemMenu(FALSE);
  if (menu != nullptr && !about.IsEmpty()) {
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
  }

  CRect rect;
  GetWindowRect(&rect);
  int x = 0, y = 0;
  const char* commandLine = AfxGetApp() ? AfxGetApp()->m_lpCmdLine : "";
  if (tunedesk::PlaceInRect(commandLine, rect.Width(), rect.Height(), &x, &y))
    SetWindowPos(nullptr, x, y, rect.Width(), rect.Height(), SWP_NOZORDER | SWP_SHOWWINDOW);

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  // A file that was read shows as saved: Apply waits for a change.
  EnableApply(!tunedesk::LoadSettings(tunedesk::kIniName, &Settings()));
  CheckModeRadio(tunedesk::ModeRadio(Settings().mode));
  CheckResolutionRadio(tunedesk::ResolutionRadio(Settings().width, Settings().height));
  return TRUE;
}

void CTunedeskDlg::CheckModeRadio(int id) {
  for (int radio : {IDC_MODE_WINDOW, IDC_MODE_MAXIMIZED, IDC_MODE_FULLSCREEN})
    SendDlgItemMessage(radio, BM_SETCHECK, radio == id ? BST_CHECKED : BST_UNCHECKED);
}

void CTunedeskDlg::CheckResolutionRadio(int id) {
  for (int radio = IDC_RES_1024X768; radio <= IDC_RES_1680X1050; ++radio)
    SendDlgItemMessage(radio, BM_SETCHECK, radio == id ? BST_CHECKED : BST_UNCHECKED);
}

void CTunedeskDlg::OnApply() {
  UpdateData(TRUE);
  tunedesk::DisplaySettings& s = Settings();
  const CButton& window = m_radios[kResolutionRadios];
  const CButton& maximized = m_radios[kResolutionRadios + 1];
  const CButton& fullScreen = m_radios[kResolutionRadios + 2];
  if (window.GetCheck() == BST_CHECKED) {
    s.mode = tunedesk::kModeWindow;
  } else if (maximized.GetCheck() == BST_CHECKED) {
    s.mode = tunedesk::kModeMaximized;
  } else if (fullScreen.GetCheck() == BST_CHECKED) {
    s.mode = tunedesk::kModeFullScreen;
  }

  if (fullScreen.GetCheck() == BST_CHECKED) {
    s.width = GetSystemMetrics(SM_CXSCREEN);
    s.height = GetSystemMetrics(SM_CYSCREEN);
  } else {
    for (int i = 0; i < kResolutionRadios; ++i) {
      if (m_radios[i].GetCheck() == BST_CHECKED) {
        tunedesk::ResolutionOfRadio(RadioId(i), &s.width, &s.height);
        break;
      }
    }
  }
  // A file that cannot be written is not reported; the dialog ends anyway.
  tunedesk::SaveSettings(tunedesk::kIniName, s);
  EnableApply(FALSE);
  CDialog::OnOK();
}

void CTunedeskDlg::EnableApply(BOOL enable) { GetDlgItem(IDOK)->EnableWindow(enable); }

void CTunedeskDlg::OnResolutionClicked(UINT) { EnableApply(TRUE); }

void CTunedeskDlg::OnModeClicked(int id) {
  CheckModeRadio(id);
  EnableApply(TRUE);
}

void CTunedeskDlg::OnModeWindow() { OnModeClicked(IDC_MODE_WINDOW); }

void CTunedeskDlg::OnModeMaximized() { OnModeClicked(IDC_MODE_MAXIMIZED); }

void CTunedeskDlg::OnModeFullScreen() { OnModeClicked(IDC_MODE_FULLSCREEN); }

void CTunedeskDlg::OnSysCommand(UINT id, LPARAM) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal();
  } else {
    Default();
  }
}

void CTunedeskDlg::OnPaint() {
  if (!IsIconic()) {
    Default();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  CRect client;
  GetClientRect(&client);
  int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CTunedeskDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CTunedeskDlg::OnLButtonDown(UINT, CPoint point) {
  if (!m_dragging) {
    m_dragging = 1;
    m_dragStart = point;
    SetCapture();
  }
  Default();
}

void CTunedeskDlg::OnMouseMove(UINT, CPoint point) {
  if (m_dragging) {
    CRect rect;
    GetWindowRect(&rect);
    SetWindowPos(nullptr, rect.left + point.x - m_dragStart.x, rect.top + point.y - m_dragStart.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  }
  Default();
}

void CTunedeskDlg::OnLButtonUp(UINT, CPoint) {
  if (m_dragging) {
    m_dragging = 0;
    ReleaseCapture();
  }
  Default();
}
