#include "AfxDialog.h"

#include "AfxApp.h"
#include "common/EngineFun/Helper.h"

namespace {
// The dialog being created on this thread, bound at its first message.
thread_local CDialog* t_creating = nullptr;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  HWND item = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
  if (item == nullptr) {
    ENGINE_ASSERT(false && "DDX_Control: no such dialog item");
    return;
  }
  control.SubclassWindow(item);
}

INT_PTR CALLBACK AfxDlgProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  if (CWnd::FromHandlePermanent(hwnd) != nullptr) return FALSE;  // bound: the map has run
  CDialog* dialog = message == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam) : t_creating;
  if (dialog == nullptr) return FALSE;
  t_creating = nullptr;
  dialog->SubclassWindow(hwnd);
  // WM_INITDIALOG as the very first message came past the map: run it here.
  return message == WM_INITDIALOG ? dialog->OnInitDialog() : FALSE;
}

HWND CDialog::CreateFromTemplate(HWND owner) {
  HINSTANCE module = AfxGetResourceHandle();
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(m_nIDHelp), reinterpret_cast<LPCSTR>(RT_DIALOG));
  HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  const void* tmpl = loaded ? ::LockResource(loaded) : nullptr;
  if (tmpl == nullptr) {
    ENGINE_ASSERT(false && "dialog template missing");
    return nullptr;
  }
  m_ended = false;
  m_result = -1;
  t_creating = this;
  HWND hwnd = ::CreateDialogIndirectParamA(module, static_cast<const DLGTEMPLATE*>(tmpl), owner, &AfxDlgProc,
                                           reinterpret_cast<LPARAM>(this));
  t_creating = nullptr;
  return hwnd;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_nIDHelp = templateId;
  m_pParentWnd = parent;
  m_modal = false;
  return CreateFromTemplate(parent ? parent->m_hWnd : nullptr) != nullptr;
}

INT_PTR CDialog::DoModal() {
  CWnd* ownerWnd = m_pParentWnd;
  if (ownerWnd == nullptr && AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd != this)
    ownerWnd = AfxGetApp()->m_pMainWnd;
  HWND owner = ownerWnd ? ownerWnd->m_hWnd : nullptr;
  bool ownerEnabled = owner != nullptr && ::IsWindowEnabled(owner);
  if (ownerEnabled) ::EnableWindow(owner, FALSE);

  m_modal = true;
  HWND hwnd = CreateFromTemplate(owner);
  if (hwnd != nullptr) {
    if (!m_ended) ::ShowWindow(hwnd, SW_SHOWNORMAL);
    RunModalLoop();
  }
  // The owner comes back before this window goes, so activation returns to it.
  if (ownerEnabled) {
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
  }
  if (m_hWnd != nullptr) DestroyWindow();
  m_modal = false;
  return hwnd != nullptr ? m_result : -1;
}

void CDialog::RunModalLoop() {
  MSG msg;
  while (!m_ended) {
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {  // WM_QUIT: leave the loop and let the outer one see it
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    AfxPumpMessage(&msg);
  }
}

void CDialog::EndDialog(int result) {
  m_result = result;
  m_ended = true;
  if (m_modal) {
    ::ShowWindow(m_hWnd, SW_HIDE);
    ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the modal loop
  } else {
    DestroyWindow();
  }
}

void CDialog::PostNcDestroy() {
  m_ended = true;  // a dialog destroyed from outside ends its loop too
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx = {this, saveAndValidate};
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  // Dialog keys (Tab, Enter, Escape, arrows) for this dialog and its items.
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return ::IsDialogMessageA(m_hWnd, msg);
}
