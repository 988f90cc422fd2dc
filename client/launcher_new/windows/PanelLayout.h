// Which panel button gets which skin, place, tip and visibility, from the
// layout's button style records: a plain function of the records and the
// web mode, so it is tested without a window.
#pragma once
#include <string>
#include <vector>

#include "Layout.h"

namespace PanelLayout {

const int kButtonCount = 22;
const int kFirstAreaButton = 12;  // buttons 12-21 are areas 0-9
const int kAreaCount = 10;

// Panel button index -> control id.
extern const int kButtonIds[kButtonCount];

enum ButtonIndex {
  kStart = 0, kMinimize = 1, kExit = 2, kSettings = 3, kLink4 = 4, kLink8 = 8, kLine = 9, kAgree = 10,
  kOptimize = 11
};

struct ButtonPlan {
  bool skinned = false;   // false: the record is missing or names no image
  std::string image;
  bool ellipse = false;
  int x = 0, y = 0, width = 0, height = 0;  // rect: x, y, width, height
  std::string tip;
  bool hidden = false;
  int area = -1;          // area number when it goes into the area map
};

// One plan per button, 22 in all.
std::vector<ButtonPlan> PlanButtons(const std::vector<LauncherCfg::ButtonStyle>& styles, bool webMode);

// The area button's second place (rect1) when ShowAreaButton moves it: only
// for 0 <= area < 10 with a record whose rect1 has a non-zero x and width.
bool AreaMoveTarget(const std::vector<LauncherCfg::ButtonStyle>& styles, int area, LauncherCfg::LayoutRect* to);

// The button index of a control id, or -1.
int IndexOfId(int id);

}  // namespace PanelLayout
