// ClauncherApp: decides whether this launcher may run at all (colour depth,
// another launcher, the plug-in updater), starts what the windows need and
// runs the main window as the program's loop.
#pragma once
#include <memory>

#include "afx/AfxWin.h"
#include "client/launcher_new/browser/ScriptExternal.h"

// Names the start-up checks look for.
extern const char* const kLauncherExe;      // "zarn_launcher.exe"
extern const char* const kBrowserPlugin;    // "orbicast.dll"
extern const char* const kPluginUpdater;    // "sprigfetch.exe"
extern const char* const kRestartSwitch;    // "zarn_restart"

class ClauncherApp : public CWinApp {
 public:
  BOOL InitInstance() override;
  int ExitInstance() override;

 private:
  // The checks of the start-up order; false: the program ends.
  bool DisplayIsTrueColour();
  bool MayRunBesideOthers();

  afx::GdiPlusSession m_gdiplus;
  std::unique_ptr<afx::ScopedComInit> m_com;
  std::unique_ptr<CImpIDispatch> m_dispatch;  // what the page's scripts reach
};
