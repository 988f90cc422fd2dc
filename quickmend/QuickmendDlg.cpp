#include "QuickmendDlg.h"

#include "LauncherInstall.h"

namespace {

const int kMaxRetries = 5;
const UINT_PTR kEndTimer = 1;
const UINT kEndDelayMs = 500;  // the started launcher gets under way first

}  // namespace

BEGIN_MESSAGE_MAP(CQuickmendDlg, CDialog)
ON_WM_QUERYDRAGICON()
ON_WM_TIMER()
ON_BN_CLICKED(IDC_RETRY, &CQuickmendDlg::OnBnClickedRetry)
ON_MESSAGE(WM_QM_PROGRESS, &CQuickmendDlg::OnAttemptProgress)
ON_MESSAGE(WM_QM_RESULT, &CQuickmendDlg::OnAttemptResult)
ON_MESSAGE(WM_DESTROY, &CQuickmendDlg::OnDestroyDialog)
END_MESSAGE_MAP()

CQuickmendDlg::CQuickmendDlg(CQuickmendRun* run, CWnd* parent)
    : CDialog(IDD_QUICKMEND_DIALOG, parent),
      m_run(run),
      m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr) {}

void CQuickmendDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_STATUS, m_status);
  DDX_Control(dx, IDC_RETRY, m_retry);
  DDX_Control(dx, IDC_PROGRESS, m_progress);
}

BOOL CQuickmendDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  m_url = AfxGetApp() ? AfxGetApp()->m_lpCmdLine : "";
  m_link = std::make_shared<DialogLink>(m_hWnd);
  if (!LauncherFolderOk()) {
    AfxMessageBox("存放目录不正确");
    EndProgram();
    return TRUE;
  }
  if (m_url.IsEmpty()) {
    CString text;
    text.Format("请使用 %s 更新", kLauncherExe);
    m_status.SetWindowText(text);
    return TRUE;
  }
  StartDownload();
  return TRUE;
}

void CQuickmendDlg::StartDownload() {
  CString text;
  text.Format("正在下载:%s,请稍候...", m_url.GetString());
  m_status.SetWindowText(text);
  m_rangeTotal = 0;
  m_progress.SetPos(0);
  if (!m_run->StartAttempt(m_url, m_link)) OnAttemptResult(ATTEMPT_DOWNLOAD_FAILED, 0);
}

void CQuickmendDlg::ShowFailure(const CString& text) {
  m_status.SetWindowText(text);
  m_retry.EnableWindow(TRUE);
}

void CQuickmendDlg::EndProgram() {
  m_exitCode = -1;
  EndDialog(IDABORT);
}

LRESULT CQuickmendDlg::OnAttemptProgress(WPARAM done, LPARAM total) {
  int upper = static_cast<int>(total);
  if (upper != m_rangeTotal) {
    m_progress.SetRange32(0, upper);
    m_rangeTotal = upper;
  }
  m_progress.SetPos(static_cast<int>(done));
  return 0;
}

void CQuickmendDlg::OnCancel() {
  // A close cut into the install would leave the new program with the old
  // version recorded; the window stays responsive and closes after it.
  if (!m_run->RequestClose()) {
    m_closeAsked = true;
    return;
  }
  CDialog::OnCancel();
}

LRESULT CQuickmendDlg::OnAttemptResult(WPARAM result, LPARAM) {
  CString text;
  switch (result) {
    case ATTEMPT_INSTALLED:
      SetTimer(kEndTimer, kEndDelayMs);
      break;
    case ATTEMPT_NO_URL:
      ShowFailure("下载地址错误");
      break;
    case ATTEMPT_UNPACK_FAILED:
    case ATTEMPT_OUTDATED:
      text.Format("解压%s失败", kLauncherExe);
      ShowFailure(text);
      break;
    case ATTEMPT_VERSION_FAILED:
      ShowFailure("写入版本号失败");
      break;
    default:
      text.Format("下载%s 失败", PackageUrl(m_url).GetString());
      ShowFailure(text);
      break;
  }
  if (m_closeAsked && result != ATTEMPT_INSTALLED) OnCancel();  // installed: it ends by itself
  return 0;
}

void CQuickmendDlg::OnTimer(UINT_PTR id) {
  if (id != kEndTimer) return;
  KillTimer(kEndTimer);
  EndProgram();
}

void CQuickmendDlg::OnBnClickedRetry() {
  // Only a finished attempt enables Retry: two attempts never share the downloader.
  if (!m_retry.IsWindowEnabled()) return;
  if (m_retries >= kMaxRetries) {
    EndProgram();
    return;
  }
  m_retry.EnableWindow(FALSE);
  ++m_retries;
  StartDownload();
}

LRESULT CQuickmendDlg::OnDestroyDialog(WPARAM, LPARAM) {
  // From here on the threads find no window to post to.
  if (m_link != nullptr) m_link->Detach();
  return Default();
}

HCURSOR CQuickmendDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
