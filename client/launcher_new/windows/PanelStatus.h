// The panel's status line and progress bars as plain functions of the
// update's stage, counters, texts and time, so they are tested without a
// window.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace PanelStatus {

// What the status line is made of, read from the update run each tick.
struct StatusInputs {
  int stage = 0;
  int64_t done = 0;    // progress of the running download
  int64_t total = 1;
  int merged = 0;      // files merged / to merge
  int toMerge = 0;
  int checked = 0;     // the two client-check counters
  int toCheck = 0;
  std::string stepVersion;  // display version of the step being downloaded
};

// State the line keeps between calls: the download rate (measured over a
// second or more) and the growing string of dots.
struct StatusClock {
  bool rateStarted = false;
  uint32_t rateTick = 0;
  int64_t rateDone = 0;
  double rateKBps = 0;
  bool dotsStarted = false;
  uint32_t dotsTick = 0;
  int dotsCount = 0;
  std::string dots;
};

typedef std::function<std::string(int)> TextLookup;

// The dots after advancing them to now (one more per full second, back to
// one after the sixth).
const std::string& AdvanceDots(StatusClock* clock, uint32_t now);
// The rate in KB/s after advancing it to now; never negative.
double AdvanceRate(StatusClock* clock, int64_t done, uint32_t now);

// The line for the stage, at most 259 bytes; empty for a stage outside 1-21.
std::string FormatStatusLine(const StatusInputs& in, const TextLookup& text, StatusClock* clock, uint32_t now);

// A bar's filled width and its percentage: done / total clamped to 0..1,
// computed in 64 bits; nothing drawn (width 0, 0 %) when total is below 1.
struct BarFill {
  bool draw = false;
  int width = 0;
  int percent = 0;
};
BarFill ComputeBarFill(int64_t done, int64_t total, int imageWidth);
// "%d %% " of the percentage.
std::string PercentText(int percent);

}  // namespace PanelStatus
