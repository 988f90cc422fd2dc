#include "SelectLineDlg.h"

#include <string>

#include "PopupDrag.h"
#include "PopupIds.h"
#include "SkinSource.h"

BEGIN_MESSAGE_MAP(CDlg_selectline, CDialog)
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_BN_CLICKED(IDC_LINE_EXIT, &CDlg_selectline::OnExitLine)
ON_BN_CLICKED(IDC_LINE_AUTO, &CDlg_selectline::OnAutoLine)
ON_BN_CLICKED(IDC_LINE_TELECOM, &CDlg_selectline::OnTelecomLine)
ON_BN_CLICKED(IDC_LINE_NETCOM, &CDlg_selectline::OnNetcomLine)
END_MESSAGE_MAP()

CDlg_selectline::CDlg_selectline(CWnd* parent, const LauncherCfg::LauncherLayout& layout, ILineChoiceHost* host)
    : CDialog(IDD, parent), m_layout(layout), m_host(host) {}

void CDlg_selectline::DoDataExchange(CDataExchange* dx) {
  DDX_Control(dx, IDC_LINE_EXIT, m_exit);
  DDX_Control(dx, IDC_LINE_AUTO, m_auto);
  DDX_Control(dx, IDC_LINE_TELECOM, m_telecom);
  DDX_Control(dx, IDC_LINE_NETCOM, m_netcom);
}

CSkinButton& CDlg_selectline::Button(int id) {
  switch (id) {
    case IDC_LINE_AUTO: return m_auto;
    case IDC_LINE_TELECOM: return m_telecom;
    case IDC_LINE_NETCOM: return m_netcom;
    default: return m_exit;
  }
}

BOOL CDlg_selectline::OnInitDialog() {
  CDialog::OnInitDialog();
  // The region first: it is kept even when the picture cannot be had.
  HRGN region = SkinSource::CreateSkinRegion(m_layout.selectLineImage.c_str());
  std::string bytes;
  switch (SkinSource::ReadSkin(m_layout.selectLineImage.c_str(), &bytes)) {
    case SkinSource::kPackClosed:
      break;  // nothing to show: the popup takes 0 x 0
    case SkinSource::kRead:
      m_picture.Load(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
      break;
    default:
      // Unplaced and unskinned, as the pack left it.
      if (region != nullptr) ::DeleteObject(region);
      return FALSE;
  }
  PlaceOverOwner();
  if (region != nullptr && !SetWindowRgn(region, FALSE)) ::DeleteObject(region);
  SkinButton(m_exit, m_layout.lineExit);
  SkinButton(m_auto, m_layout.lineAuto);
  SkinButton(m_telecom, m_layout.lineTelecom);
  SkinButton(m_netcom, m_layout.lineNetcom);
  return TRUE;
}

void CDlg_selectline::PlaceOverOwner() {
  RECT owner = {0, 0, 0, 0};
  HWND ownerWnd = ::GetWindow(m_hWnd, GW_OWNER);
  if (ownerWnd != nullptr) ::GetWindowRect(ownerWnd, &owner);
  const int w = m_picture.Width(), h = m_picture.Height();
  const int x = owner.left + (owner.right - owner.left - w) / 2;
  const int y = owner.top + (owner.bottom - owner.top - h) / 2;
  SetWindowPos(nullptr, x, y, w, h, SWP_NOZORDER | SWP_SHOWWINDOW);
}

void CDlg_selectline::SkinButton(CSkinButton& button, const LauncherCfg::PopupButton& look) {
  if (look.image.empty() || button.m_hWnd == nullptr) return;
  std::string bytes;
  switch (SkinSource::ReadSkin(look.image.c_str(), &bytes)) {
    case SkinSource::kPackClosed:
      break;
    case SkinSource::kRead:
      button.LoadSkin(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
      break;
    default:
      return;  // this button stays as the template made it
  }
  button.MoveWindow(look.rect.left, look.rect.top, look.rect.right, look.rect.bottom, TRUE);
  if (!look.tip.empty()) button.SetButtonText(look.tip.c_str());
}

void CDlg_selectline::Choose(int32_t line) {
  if (m_host != nullptr) m_host->ChooseLine(line);
  EndDialog(IDOK);
}

void CDlg_selectline::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  RECT client;
  GetClientRect(&client);
  m_picture.Render(client, dc);
  ::EndPaint(m_hWnd, &paint);
}

void CDlg_selectline::OnLButtonDown(UINT, CPoint) {
  Default();
  StartPopupDrag(m_hWnd);
}
