#include "PanelStatus.h"

#include <cstdarg>
#include <cstdio>

namespace PanelStatus {

namespace {

const size_t kLineBytes = 260;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char line[kLineBytes];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return n < 0 ? std::string() : std::string(line);
}

// The counts text of stages 8 and 10.
std::string Counts(const std::string& text, int a, int b, const std::string& dots) {
  return Printf("%s  %d / %d %s", text.c_str(), a, b, dots.c_str());
}

}  // namespace

const std::string& AdvanceDots(StatusClock* c, uint32_t now) {
  if (!c->dotsStarted) {
    c->dotsStarted = true;
    c->dotsTick = now;
  }
  if (now - c->dotsTick >= 1000) {
    c->dots += '.';
    ++c->dotsCount;
    c->dotsTick = now;
  }
  if (c->dotsCount > 5) {
    c->dotsCount = 0;
    c->dots = ".";
  }
  return c->dots;
}

double AdvanceRate(StatusClock* c, int64_t done, uint32_t now) {
  if (!c->rateStarted) {
    c->rateStarted = true;
    c->rateTick = now;
    c->rateDone = done;
  } else if (now - c->rateTick > 999) {
    c->rateKBps = static_cast<double>(done - c->rateDone) / 1024.0;
    c->rateTick = now;
    c->rateDone = done;
  }
  return c->rateKBps < 0 ? 0 : c->rateKBps;
}

std::string FormatStatusLine(const StatusInputs& in, const TextLookup& text, StatusClock* clock, uint32_t now) {
  auto withDots = [&](int id) { return Printf("%s%s", text(id).c_str(), AdvanceDots(clock, now).c_str()); };
  switch (in.stage) {
    case 1: return Printf("%s", text(0).c_str());
    case 2: return Printf("%s", text(1).c_str());
    case 3: {
      double rate = AdvanceRate(clock, in.done, now);
      return Printf("%s%s  %s%.2fM/%.2fM  %s%.2fKB/S", text(2).c_str(), in.stepVersion.c_str(), text(14).c_str(),
                    static_cast<double>(in.done) / 1048576.0, static_cast<double>(in.total) / 1048576.0,
                    text(3).c_str(), rate);
    }
    case 4: return withDots(4);
    case 5: return withDots(5);
    case 6: return withDots(39);
    case 7: return withDots(36);
    case 8: return Counts(text(37), in.merged, in.toMerge, AdvanceDots(clock, now));
    case 9: return Printf("%s", text(6).c_str());
    case 10: return Counts(text(40), in.checked, in.toCheck, AdvanceDots(clock, now));
    case 11: return withDots(41);
    case 12: return Printf("%s", text(7).c_str());
    case 13: return Printf("%s", text(38).c_str());
    case 14: return Printf("%s", text(42).c_str());
    case 15: return Printf("%s", text(8).c_str());
    case 16: return Printf("%s", text(9).c_str());
    case 17: return Printf("%s", text(10).c_str());
    case 18: return Printf("%s", text(11).c_str());
    case 19: return Printf("%s", text(12).c_str());
    case 20: return Printf("%s", text(13).c_str());
    case 21: return Printf("%s", text(30).c_str());
    default: return std::string();
  }
}

BarFill ComputeBarFill(int64_t done, int64_t total, int imageWidth) {
  BarFill fill;
  if (total < 1) return fill;
  if (done < 0) done = 0;
  if (done > total) done = total;
  fill.draw = true;
  fill.width = imageWidth > 0 ? static_cast<int>(done * imageWidth / total) : 0;
  fill.percent = static_cast<int>(done * 100 / total);
  return fill;
}

std::string PercentText(int percent) { return Printf("%d %% ", percent); }

}  // namespace PanelStatus
