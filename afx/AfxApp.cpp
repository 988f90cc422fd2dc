#include "AfxApp.h"

#include <commctrl.h>

#include <cstring>

#include "common/EngineFun/ReportSink.h"
#include "common/StrUtil.h"

namespace {

CWinApp*& TheApp() {
  static CWinApp* app = nullptr;
  return app;
}

// Where the file name of a path starts.
const char* AfterFolder(const char* begin, const char* end) {
  for (const char* p = begin; p < end; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') begin = p + 1;
  return begin;
}

// File name without folder and without a trailing ".exe", lowered.
std::string BaseName(const char* begin, const char* end) {
  std::string name(AfterFolder(begin, end), end);
  StrUtil::ToLower(name);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
  return name;
}

}  // namespace

CWinApp::CWinApp() { TheApp() = this; }

CWinApp::~CWinApp() {
  if (TheApp() == this) TheApp() = nullptr;
}

CWinApp* AfxGetApp() { return TheApp(); }

HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleA(nullptr); }

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id)); }

int CWinApp::Run() {
  MSG msg;
  BOOL got;
  while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) > 0) AfxPumpMessage(&msg);
  m_exitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;  // only WM_QUIT carries a code
  return ExitInstance();
}

const char* AfxCommandArguments(const char* commandLine, const char* modulePath) {
  if (commandLine == nullptr) return "";
  const char* p = commandLine;
  while (*p == ' ' || *p == '\t') ++p;
  const char *begin = p, *end;
  if (*p == '"') {
    begin = ++p;
    while (*p && *p != '"') ++p;
    end = p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
    end = p;
  }
  const char* module = modulePath ? modulePath : "";
  if (begin == end || BaseName(begin, end) != BaseName(module, module + strlen(module))) return commandLine;
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

int AfxWinMain(HINSTANCE instance, int) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};  // progress bars, tooltips and the rest
  ::InitCommonControlsEx(&controls);

  char module[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, module, MAX_PATH - 1);
  app->m_appName = AfterFolder(module, module + strlen(module));
  int dot = app->m_appName.ReverseFind('.');
  if (dot > 0) app->m_appName = app->m_appName.Left(dot);
  app->m_pszAppName = app->m_appName;
  app->m_hInstance = instance;
  app->m_lpCmdLine = AfxCommandArguments(::GetCommandLineA(), module);

  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

int AfxMessageBox(const char* text, UINT type, UINT) {
  CWinApp* app = AfxGetApp();
  HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
  const char* caption = app && *app->m_pszAppName ? app->m_pszAppName : nullptr;
  return EngineFunc::ShowMessageBox(owner, text, caption, type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId) {
  CString text;
  text.LoadString(stringId);
  return AfxMessageBox(text, type, helpId);
}
