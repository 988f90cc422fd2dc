#include "PanelLayout.h"

namespace PanelLayout {

const int kButtonIds[kButtonCount] = {1000, 1022, 1001, 1005, 1003, 1004, 1006, 1007, 1008, 1009, 1010,
                                      1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021};

std::vector<ButtonPlan> PlanButtons(const std::vector<LauncherCfg::ButtonStyle>& styles, bool webMode) {
  std::vector<ButtonPlan> plans(kButtonCount);
  for (int i = 0; i < kButtonCount && i < static_cast<int>(styles.size()); ++i) {
    const LauncherCfg::ButtonStyle& s = styles[static_cast<size_t>(i)];
    ButtonPlan& p = plans[static_cast<size_t>(i)];
    if (s.imageFile.empty()) continue;
    p.skinned = true;
    p.image = s.imageFile;
    p.ellipse = s.ellipse;
    p.x = s.rect.left, p.y = s.rect.top, p.width = s.rect.right, p.height = s.rect.bottom;
    p.tip = s.tip;
    if (s.name.find("area") != std::string::npos) {
      // Named as an area but among the fixed buttons: laid out and kept.
      if (i >= kFirstAreaButton) {
        p.hidden = true;
        p.area = i - kFirstAreaButton;
      }
    } else {
      p.hidden = i == kOptimize || (i == kStart && webMode) || (i == kSettings && !webMode);
    }
  }
  return plans;
}

bool AreaMoveTarget(const std::vector<LauncherCfg::ButtonStyle>& styles, int area, LauncherCfg::LayoutRect* to) {
  if (area < 0 || area >= kAreaCount) return false;
  size_t index = static_cast<size_t>(area + kFirstAreaButton);
  if (index >= styles.size()) return false;
  const LauncherCfg::LayoutRect& r = styles[index].rect1;
  if (r.left == 0 || r.right == 0) return false;
  *to = r;
  return true;
}

int IndexOfId(int id) {
  for (int i = 0; i < kButtonCount; ++i)
    if (kButtonIds[i] == id) return i;
  return -1;
}

}  // namespace PanelLayout
