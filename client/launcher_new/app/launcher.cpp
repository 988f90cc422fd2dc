// First: these bring winsock2.h, which must come before windows.h.
#include "ServerPing.h"
#include "common/HttpDownLoad/FtpDownLoad.h"

#include "launcher.h"

#include <cstring>

#include "PatchDlg.h"
#include "ProcessChecks.h"
#include "common/EngineFun/ReportSink.h"

const char* const kLauncherExe = "zarn_launcher.exe";
const char* const kBrowserPlugin = "orbicast.dll";
const char* const kPluginUpdater = "sprigfetch.exe";
const char* const kRestartSwitch = "zarn_restart";

ClauncherApp theApp;
// The library's FTP downloader offers no transfer; its one instance keeps
// Winsock started for the whole life of the process.
FTP::CFtpDownLoad g_ftpDownLoad;

bool ClauncherApp::DisplayIsTrueColour() {
  HDC display = ::CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  int bits = display != nullptr ? ::GetDeviceCaps(display, BITSPIXEL) : 0;
  if (display != nullptr) ::DeleteDC(display);
  if (bits == 32) return true;
  EngineFunc::ShowMessageBox(nullptr, "抱歉! 本游戏暂时只支持  真彩色(32 位)  的屏幕颜色显示模式\n", "Launcher",
                             MB_ICONWARNING);
  return false;
}

bool ClauncherApp::MayRunBesideOthers() {
  // The restarted launcher starts while the old one is still ending.
  if (m_lpCmdLine != nullptr && strstr(m_lpCmdLine, kRestartSwitch) != nullptr) return true;
  if (IsModuleLoadedInAnyProcess(kBrowserPlugin) || CountProcessesByName(kLauncherExe) > 1) {
    EngineFunc::ShowMessageBox(nullptr, "检测到有登陆器在运行，无法多开!", nullptr, MB_OK);
    return false;
  }
  return CountProcessesByName(kPluginUpdater) == 0;  // it runs: end without a word
}

BOOL ClauncherApp::InitInstance() {
  if (!DisplayIsTrueColour() || !MayRunBesideOthers()) return FALSE;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  ::InitCommonControlsEx(&controls);
  m_gdiplus.Start();
  m_com.reset(new afx::ScopedComInit);
  m_dispatch.reset(new CImpIDispatch);
  InstallScriptExternal(m_dispatch.get());
  SetRegistryKey("应用程序向导生成的本地应用程序");
  ServerPing::InstallNetworkPing();  // the login servers are measured over the network
  CPatchDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;  // the program ends with its window
}

int ClauncherApp::ExitInstance() {
  m_gdiplus.Shutdown();
  InstallScriptExternal(nullptr);  // the browser went with the main window
  m_dispatch.reset();
  m_com.reset();
  return CWinApp::ExitInstance();
}
