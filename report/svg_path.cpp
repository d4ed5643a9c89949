#include "report/svg_path.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <utility>

namespace velodex {
namespace {

PlanPoint Minus(PlanPoint a, PlanPoint b) { return {a.x - b.x, a.y - b.y}; }

}  // namespace

std::string Colour(uint32_t rgb) {
  char buffer[8];
  const bool shortForm = (rgb & 0x0F0F0F) * 16 == (rgb & 0xF0F0F0);
  if (shortForm) {
    std::snprintf(buffer, sizeof buffer, "#%x%x%x", (rgb >> 20) & 15, (rgb >> 12) & 15,
                  (rgb >> 4) & 15);
  } else {
    std::snprintf(buffer, sizeof buffer, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
  }
  return buffer;
}

std::string Num(double value, int decimals) {
  const long scaled = std::lround(value * (decimals ? 10 : 1));
  if (!decimals) return std::to_string(scaled);
  const long whole = std::labs(scaled) / 10;
  const long tenth = std::labs(scaled) % 10;
  std::string text = scaled < 0 ? "-" : "";
  if (whole != 0 || tenth == 0) text += std::to_string(whole);
  if (tenth != 0) text += "." + std::to_string(tenth);
  return text;
}

void PathData::moveTo(PlanPoint p) {
  p = snap(p);
  if (started_ && p == pen_) return;
  if (started_) {
    command('m');
    numbers({Minus(p, pen_)});
  } else {
    command('M');
    numbers({p});
  }
  started_ = true;
  pen_ = p;
  lastLine_ = std::string::npos;
}

void PathData::lineTo(PlanPoint p) {
  p = snap(p);
  PlanPoint step = Minus(p, pen_);
  if (step == PlanPoint{}) return;
  // A step straight on from the last one lengthens it instead.
  if (lastLine_ != std::string::npos && step.x * lastStep_.y - step.y * lastStep_.x == 0 &&
      step.x * lastStep_.x + step.y * lastStep_.y > 0) {
    text_.resize(lastLine_);
    inForce_ = lastLineForce_;
    step = {step.x + lastStep_.x, step.y + lastStep_.y};
  }
  lastLine_ = text_.size();
  lastLineForce_ = inForce_;
  lastStep_ = step;
  if (step.y == 0) {
    command('h');
    number(step.x);
  } else if (step.x == 0) {
    command('v');
    number(step.y);
  } else {
    command('l');
    numbers({step});
  }
  pen_ = p;
}

void PathData::quadTo(PlanPoint c, PlanPoint p) {
  c = snap(c);
  p = snap(p);
  command('q');
  numbers({Minus(c, pen_), Minus(p, pen_)});
  pen_ = p;
  lastLine_ = std::string::npos;
}

void PathData::cubicTo(PlanPoint c1, PlanPoint c2, PlanPoint p) {
  c1 = snap(c1);
  c2 = snap(c2);
  p = snap(p);
  command('c');
  numbers({Minus(c1, pen_), Minus(c2, pen_), Minus(p, pen_)});
  pen_ = p;
  lastLine_ = std::string::npos;
}

void PathData::raw(const std::string& commands) {
  const size_t letter = commands.find_last_of("MmLlQqCcHhVvZz");
  if (letter != std::string::npos) inForce_ = commands[letter];
  text_ += commands;
  lastLine_ = std::string::npos;
}

PlanPoint PathData::snap(PlanPoint p) const {
  const double scale = decimals_ ? 10.0 : 1.0;
  return {std::round(p.x * scale) / scale, std::round(p.y * scale) / scale};
}

void PathData::command(char letter) {
  const bool implied =
      (inForce_ == letter && letter != 'm' && letter != 'M') || (inForce_ == 'm' && letter == 'l');
  if (implied) return;
  text_ += letter;
  inForce_ = letter;
}

void PathData::numbers(std::initializer_list<PlanPoint> points) {
  for (const PlanPoint& p : points) {
    number(p.x);
    number(p.y);
  }
}

void PathData::number(double value) {
  const std::string n = Num(value, decimals_);
  const char last = text_.empty() ? 'M' : text_.back();
  if ((std::isdigit(static_cast<unsigned char>(last)) != 0 || last == '.') && n[0] != '-') {
    const size_t before = text_.find_last_not_of("0123456789.");
    const bool hasPoint =
        text_.find('.', before == std::string::npos ? 0 : before + 1) != std::string::npos;
    if (n[0] != '.' || !hasPoint) text_ += ' ';
  }
  text_ += n;
}

std::string PathElement(const std::string& attributes, const PathData& path) {
  if (path.empty()) return {};
  return "<path " + attributes + " d=\"" + path.text() + "\"/>";
}

void Simplify(const std::vector<PlanPoint>& points, size_t first, size_t last, double tolerance,
              std::vector<bool>& keep) {
  if (last <= first + 1) return;
  const PlanPoint a = points[first];
  const PlanPoint b = points[last];
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  double worst = -1;
  size_t worstAt = first;
  for (size_t i = first + 1; i < last; ++i) {
    const PlanPoint p = points[i];
    const double distance =
        length == 0 ? std::hypot(p.x - a.x, p.y - a.y)
                    : std::fabs((b.x - a.x) * (a.y - p.y) - (a.x - p.x) * (b.y - a.y)) / length;
    if (distance > worst) {
      worst = distance;
      worstAt = i;
    }
  }
  if (worst <= tolerance) return;
  keep[worstAt] = true;
  Simplify(points, first, worstAt, tolerance, keep);
  Simplify(points, worstAt, last, tolerance, keep);
}

std::vector<PlanWall> MergedWalls(std::vector<PlanWall> walls) {
  for (PlanWall& w : walls) {
    if (w.to.x < w.from.x || w.to.y < w.from.y) std::swap(w.from, w.to);
  }
  auto rowFirst = [](const PlanWall& a, const PlanWall& b) {
    const bool aRow = a.from.y == a.to.y;
    const bool bRow = b.from.y == b.to.y;
    if (aRow != bRow) return aRow;
    if (aRow) return std::pair(a.from.y, a.from.x) < std::pair(b.from.y, b.from.x);
    return std::pair(a.from.x, a.from.y) < std::pair(b.from.x, b.from.y);
  };
  std::sort(walls.begin(), walls.end(), rowFirst);
  std::vector<PlanWall> merged;
  for (const PlanWall& w : walls) {
    if (!merged.empty()) {
      PlanWall& last = merged.back();
      const bool row = w.from.y == w.to.y;
      const bool sameLine = row ? last.from.y == last.to.y && last.from.y == w.from.y
                                : last.from.x == last.to.x && last.from.x == w.from.x;
      const bool touches = row ? w.from.x <= last.to.x : w.from.y <= last.to.y;
      if (sameLine && touches) {
        last.to = row ? PlanPoint{std::max(last.to.x, w.to.x), w.to.y}
                      : PlanPoint{w.to.x, std::max(last.to.y, w.to.y)};
        continue;
      }
    }
    merged.push_back(w);
  }
  return merged;
}

}  // namespace velodex
