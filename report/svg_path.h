// The pieces of compact SVG text the layout pictures are written with: short colours and
// numbers, path data in relative steps, and the simplifications that keep a picture small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "report/layout_drawing.h"

namespace velodex {

// "#rgb" when each of the three bytes repeats its digit, else "#rrggbb".
std::string Colour(uint32_t rgb);

// A number rounded to whole units (decimals 0) or tenths (1), in its shortest form: "3", "-2",
// ".5", "-12.3".
std::string Num(double value, int decimals);

// Path data in relative steps from a pen that sits on rounded points, so rounding never
// accumulates along the track. Drops repeated command letters and needless separators, and
// merges straight runs into one step.
class PathData {
 public:
  explicit PathData(int decimals) : decimals_(decimals) {}

  void moveTo(PlanPoint p);
  void lineTo(PlanPoint p);
  void quadTo(PlanPoint c, PlanPoint p);
  void cubicTo(PlanPoint c1, PlanPoint c2, PlanPoint p);
  void raw(const std::string& commands);
  bool atPen(PlanPoint p) const { return started_ && snap(p) == pen_; }
  PlanPoint pen() const { return pen_; }
  const std::string& text() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  PlanPoint snap(PlanPoint p) const;
  // The letter is left out when it repeats the one in force, or is a line after a relative
  // move, whose further pairs are relative lines already. A move is never left out: pairs
  // after one draw.
  void command(char letter);
  void numbers(std::initializer_list<PlanPoint> points);
  // A separator only where the numbers would otherwise run together: not before a minus
  // sign, nor before a point when the previous number already has one.
  void number(double value);

  int decimals_;
  std::string text_;
  PlanPoint pen_;
  bool started_ = false;
  size_t lastLine_ = std::string::npos;
  // The command whose further pairs need no letter, as it was before the last line step.
  char inForce_ = ' ';
  char lastLineForce_ = ' ';
  PlanPoint lastStep_;
};

// A path element with the given attributes, or nothing for empty path data.
std::string PathElement(const std::string& attributes, const PathData& path);

// Douglas-Peucker over points[first, last]: marks in keep the points that stray more than
// tolerance from the line between the kept points around them (first and last are the
// caller's to keep).
void Simplify(const std::vector<PlanPoint>& points, size_t first, size_t last, double tolerance,
              std::vector<bool>& keep);

// Wall pieces joined into the longest straight walls they make, row by row and then column
// by column.
std::vector<PlanWall> MergedWalls(std::vector<PlanWall> walls);

}  // namespace velodex
