// What the update engine needs of the main window, and nothing more. The
// engine calls these from its worker threads; an implementation does the
// window work on its own thread (a flag plus a repaint request, or a message
// to itself). Blocking messages go to MainWindow() with SendMessage.
#pragma once
#include <cstdint>
#include <string>

struct HWND__;

// The panel buttons that the engine enables, disables or shows.
enum class LauncherButton { Start, Exit, Optimise };

// The main window's settings as the engine reads them (a copy each time).
struct UpdateSettings {
  int32_t selectedBigArea = 0;
  bool agree = true;
  bool microClientOpen = true;  // config.xml MicroClient open
  bool webMode = true;          // WebModeFlag
  int32_t selectedLine = 0;     // 0 automatic, 1 telecom, 2 netcom
  std::string exeName;          // layout exename: the game client
  std::string emergencyExeName;  // layout emergencyexename: the emergency updater
};

class IUpdateWindow {
 public:
  virtual ~IUpdateWindow() {}

  // The window that the engine's blocking messages go to.
  virtual HWND__* MainWindow() = 0;
  virtual UpdateSettings Settings() = 0;
  // A text of the layout's text table; an unknown id gives "".
  virtual std::string Text(int32_t id) = 0;

  virtual void EnableButton(LauncherButton button, bool enable) = 0;
  virtual void ShowButton(LauncherButton button, bool show) = 0;
  virtual void RedrawPanel() = 0;

  // Outside web mode, once the area list is loaded: show the area's button,
  // and make an area the selected one (the area button's handler).
  virtual void ShowAreaButton(int32_t area, int32_t resindex) = 0;
  virtual void SelectArea(int32_t area) = 0;

  // Leaves the launcher, with restart: starts it again with "zarn_restart".
  // The real window ends the process; a test window returns, and so does
  // the worker that asked.
  virtual void QuitLauncher(bool restart) = 0;
};
