#include "OptimizationDlg.h"

#include "LauncherText.h"
#include "PopupDrag.h"
#include "PopupIds.h"
#include "ProcessChecks.h"
#include "VersionChain.h"
#include "common/EngineFun/ReportSink.h"

namespace {

const UINT WM_OPTIMISATION_FINISHED = WM_APP + 130;
// 2 GiB, as low and high halves.
const uint32_t kNeededLow = 0x80000000u, kNeededHigh = 0;

void ShowRefusal(int textId) {
  EngineFunc::ShowMessageBox(nullptr, LauncherText(textId).c_str(), LauncherText(16).c_str(), MB_OK);
}

}  // namespace

OptimisationChecks DefaultOptimisationChecks(const std::string& exeName) {
  return OptimisationChecks{exeName, &IsGameClientRunning, &HasEnoughDiskSpace};
}

BEGIN_MESSAGE_MAP(CDlg_Optimization, CDialog)
ON_WM_LBUTTONDOWN()
ON_MESSAGE(WM_OPTIMISATION_FINISHED, &CDlg_Optimization::OnRunFinished)
END_MESSAGE_MAP()

CDlg_Optimization::CDlg_Optimization(CWnd* parent, const OptimisationChecks& checks, const OptimisedPacks packs)
    : CDialog(IDD, parent), m_checks(checks) {
  if (packs != nullptr)
    for (int i = 0; i < kOptimisedPackCount; ++i) m_packs[i] = packs[i];
  else
    GetOptimisedPacks(m_packs);
}

CDlg_Optimization::~CDlg_Optimization() = default;

BOOL CDlg_Optimization::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemTextA(m_hWnd, IDC_OPT_LABEL1, LauncherText(23).c_str());
  SetDlgItemTextA(m_hWnd, IDC_OPT_LABEL2, LauncherText(24).c_str());
  SetDlgItemTextA(m_hWnd, IDC_OPT_LABEL3, LauncherText(25).c_str());
  SetDlgItemTextA(m_hWnd, IDC_OPT_LABEL4, LauncherText(26).c_str());
  return TRUE;
}

void CDlg_Optimization::OnOK() {
  if (m_running || m_run) return;  // one run per dialog
  if (m_checks.gameRunning != nullptr && m_checks.gameRunning(m_checks.gameExeName)) {
    ShowRefusal(27);
    return;
  }
  if (m_checks.enoughSpace != nullptr && !m_checks.enoughSpace(kNeededLow, kNeededHigh)) {
    ShowRefusal(34);
    return;
  }
  ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), FALSE);
  ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
  SetDlgItemTextA(m_hWnd, IDC_OPT_PERCENT, "");
  OptimisationView view;
  view.dialog = m_hWnd;
  view.barId = IDC_OPT_PROGRESS;
  view.labelId = IDC_OPT_PERCENT;
  view.finishedMessage = WM_OPTIMISATION_FINISHED;
  m_run.reset(new PackOptimisation(view, m_packs));
  m_running = m_run->Start();
  if (!m_running) ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), TRUE);
}

void CDlg_Optimization::OnCancel() {
  if (m_running) return;  // the progress thread still talks to this window
  CDialog::OnCancel();
}

LRESULT CDlg_Optimization::OnRunFinished(WPARAM withTotal, LPARAM) {
  m_running = false;
  // With nothing to compact the close button stays off; the close box works.
  if (withTotal != 0) ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), TRUE);
  return 0;
}

void CDlg_Optimization::OnLButtonDown(UINT, CPoint) {
  Default();
  StartPopupDrag(m_hWnd);
}
