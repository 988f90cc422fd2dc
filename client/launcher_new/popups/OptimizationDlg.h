// CDlg_Optimization: compacts the client's packs on request and shows
// their common progress. It refuses while the game runs or the drive is
// short of space; while the compaction runs it cannot be closed.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "PackOptimisation.h"
#include "afx/AfxWin.h"

// What the start button checks before anything is touched.
struct OptimisationChecks {
  std::string gameExeName;  // the layout's exename
  // The game client (that program, or its library in any process) runs.
  bool (*gameRunning)(const std::string& exeName);
  // The current drive has at least high:low bytes free (a failed query
  // counts as enough).
  bool (*enoughSpace)(uint32_t low, uint32_t high);
};
// The launcher's own checks for the game named exeName.
OptimisationChecks DefaultOptimisationChecks(const std::string& exeName);

class CDlg_Optimization : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  enum { IDD = 130 };
  // packs: null for the launcher's own nine (GetOptimisedPacks).
  CDlg_Optimization(CWnd* parent, const OptimisationChecks& checks, const OptimisedPacks packs = nullptr);
  ~CDlg_Optimization() override;

  BOOL OnInitDialog() override;
  void OnOK() override;      // start
  void OnCancel() override;  // close button, close box, Escape: not while running
  bool Running() const { return m_running; }

 protected:
  void OnLButtonDown(UINT flags, CPoint point);
  LRESULT OnRunFinished(WPARAM withTotal, LPARAM);

 private:
  OptimisationChecks m_checks;
  OptimisedPacks m_packs;
  std::unique_ptr<PackOptimisation> m_run;
  bool m_running = false;
};
