// A preview of the design selected in a file list: its plan (north up, coloured by height,
// station red, chain lift dotted) above its side profile, with its footprint and heights in a
// line below. Drawn with Qt from the core's layout of the design.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "catalogue/track_layout.h"
#include "report/layout_drawing.h"

class QLabel;
class QListWidgetItem;

namespace velodex {

class FileListBox;

class LayoutPreview final : public QWidget {
  Q_OBJECT
 public:
  explicit LayoutPreview(QWidget* parent = nullptr);

  // From now on shows the design selected in list (read from the list's folder).
  void follow(FileListBox* list);
  // Shows the design in the file at path, or says that the file holds none.
  void showDesign(const QString& path);
  // Shows nothing, with a hint to select a design.
  void clearDesign();

  QLabel* Facts;  // the footprint and heights, or why nothing is drawn

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void paintPlan(class QPainter& painter, const QRectF& box) const;
  void paintProfile(class QPainter& painter, const QRectF& box) const;

  std::optional<PlanDrawing> plan_;
  std::vector<ProfilePoint> profile_;
};

}  // namespace velodex
