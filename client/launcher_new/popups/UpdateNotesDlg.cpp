#include "UpdateNotesDlg.h"

#include <cstdio>

#include "PopupDrag.h"
#include "PopupIds.h"
#include "VersionChain.h"
#include "common/Pack/PatchPath.h"

NotesPager::NotesPager(std::vector<VersionStep> steps, std::string newVersion)
    : m_steps(std::move(steps)), m_newVersion(std::move(newVersion)), m_current(m_newVersion) {}

void NotesPager::Next() {
  const std::string* after = GetVersionAfter(m_steps, m_current);
  m_current = after != nullptr ? *after : m_newVersion;
}

void NotesPager::Previous() {
  const std::string* before = GetVersionBefore(m_steps, m_current);
  m_current = before != nullptr ? *before : m_newVersion;
}

void NotesPager::UpdateButtons(bool* nextEnabled, bool* previousEnabled) {
  if (m_current.empty()) {
    *nextEnabled = *previousEnabled = false;
    m_current = m_newVersion;
    return;
  }
  const std::string* first = GetFirstVersionStepNext(m_steps);
  *nextEnabled = m_current != m_newVersion;
  *previousEnabled = first == nullptr || m_current != *first;
}

std::string NotesPager::ShowVersion() const { return GetShowVersion(m_steps, m_current); }

std::string NotesPager::NotesFileName() const {
  // One file in the folder, by a name the client may open: no device.
  if (m_current.find_first_of("\\/") != std::string::npos || !PackClient::IsSafeClientPath(m_current.c_str()))
    return "";
  return "updateinfo/" + m_current + ".txt";
}

bool ReadNotesFile(const std::string& path, std::string* text) {
  if (path.empty()) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  text->assign(kMaxNotesBytes, '\0');
  const size_t got = std::fread(&(*text)[0], 1, kMaxNotesBytes, f);
  std::fclose(f);
  text->resize(got);
  return true;
}

BEGIN_MESSAGE_MAP(CDlg_agreement, CDialog)
ON_BN_CLICKED(IDC_NOTES_NEXT, &CDlg_agreement::OnNextPage)
ON_BN_CLICKED(IDC_NOTES_PREVIOUS, &CDlg_agreement::OnPreviousPage)
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CDlg_agreement::CDlg_agreement(CWnd* parent, std::vector<VersionStep> steps, std::string newVersion)
    : CDialog(IDD, parent), m_pager(std::move(steps), std::move(newVersion)) {}

BOOL CDlg_agreement::OnInitDialog() {
  CDialog::OnInitDialog();
  m_pager.Reset();
  ShowPage();
  return TRUE;
}

void CDlg_agreement::ShowPage() {
  const std::string label = "版本:" + m_pager.ShowVersion();
  ::SetDlgItemTextA(m_hWnd, IDC_NOTES_VERSION, label.c_str());
  UpdateButtons();
  std::string text;
  // A missing page leaves the box as it was.
  if (ReadNotesFile(m_pager.NotesFileName(), &text)) ::SetDlgItemTextA(m_hWnd, IDC_NOTES_TEXT, text.c_str());
}

void CDlg_agreement::UpdateButtons() {
  bool next = false, previous = false;
  m_pager.UpdateButtons(&next, &previous);
  ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NOTES_NEXT), next);
  ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NOTES_PREVIOUS), previous);
}

void CDlg_agreement::OnNextPage() {
  m_pager.Next();
  ShowPage();
}

void CDlg_agreement::OnPreviousPage() {
  m_pager.Previous();
  ShowPage();
}

void CDlg_agreement::OnPaint() {
  UpdateButtons();
  Default();
}

void CDlg_agreement::OnLButtonDown(UINT, CPoint) {
  Default();
  StartPopupDrag(m_hWnd);
}
