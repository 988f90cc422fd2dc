// CDlg_agreement: the update notes, one page per version, paged along the
// server list's version chain from the newest version back to the first.
#pragma once
#include <string>
#include <vector>

#include "ServerList.h"
#include "afx/AfxWin.h"

// Where the notes stand in the chain; the dialog's state without the window.
class NotesPager {
 public:
  NotesPager(std::vector<VersionStep> steps, std::string newVersion);

  const std::string& Current() const { return m_current; }
  void Reset() { m_current = m_newVersion; }
  // Along the chain; where no step leads on, back to the newest version.
  void Next();
  void Previous();
  // Button states (an empty current version disables both and becomes
  // the newest one).
  void UpdateButtons(bool* nextEnabled, bool* previousEnabled);
  // The display version of the current version ("" when unknown).
  std::string ShowVersion() const;
  // "updateinfo/<version>.txt"; "" when the version is no plain file name
  // that PackClient::IsSafeClientPath takes (no "..", ":" or device name:
  // it comes from a downloaded list).
  std::string NotesFileName() const;

 private:
  std::vector<VersionStep> m_steps;
  std::string m_newVersion;
  std::string m_current;
};

// The notes page's text: the whole file up to a cap; false when it cannot be opened.
const size_t kMaxNotesBytes = 1024 * 1024;
bool ReadNotesFile(const std::string& path, std::string* text);

class CDlg_agreement : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  enum { IDD = 129 };
  CDlg_agreement(CWnd* parent, std::vector<VersionStep> steps, std::string newVersion);

  BOOL OnInitDialog() override;
  const NotesPager& Pager() const { return m_pager; }

 protected:
  void OnNextPage();
  void OnPreviousPage();
  void OnPaint();
  void OnLButtonDown(UINT flags, CPoint point);

 private:
  void ShowPage();
  void UpdateButtons();

  NotesPager m_pager;
};
