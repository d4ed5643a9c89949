#include "ui/layout_preview.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>

#include "catalogue/file_system.h"
#include "catalogue/track_design.h"
#include "ui/file_list_box.h"
#include "ui/qt_text.h"

namespace velodex {
namespace {

constexpr int kPlanHeight = 170;
constexpr int kProfileHeight = 56;
const QColor kStationColour(0xdd, 0x33, 0x33);
const QColor kHedgeColour(0x33, 0x77, 0x33);

QColor Colour(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

}  // namespace

LayoutPreview::LayoutPreview(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("LayoutPreview"));
  setMinimumWidth(200);
  Facts = new QLabel(this);
  Facts->setObjectName(QStringLiteral("LayoutFacts"));
  Facts->setWordWrap(true);
  Facts->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  // Room for the facts to wrap onto three lines: a wrapping label is not given its height.
  Facts->setMinimumHeight(3 * Facts->fontMetrics().lineSpacing());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addSpacing(kPlanHeight + kProfileHeight + 8);
  layout->addWidget(Facts);
  layout->addStretch(1);
  clearDesign();
}

void LayoutPreview::follow(FileListBox* list) {
  connect(list, &QListWidget::currentItemChanged, this,
          [this, list](QListWidgetItem* current, QListWidgetItem*) {
            if (current == nullptr) {
              clearDesign();
              return;
            }
            showDesign(FromPathBytes(JoinPath(list->path(), ToPathBytes(current->text()))));
          });
}

void LayoutPreview::showDesign(const QString& path) {
  DecodedDesign design;
  if (DecodeTrackDesign(ToPathBytes(path), design).verdict != DesignVerdict::kAccepted) {
    plan_.reset();
    profile_.clear();
    Facts->setText(tr("Not a track design that can be read"));
    update();
    return;
  }
  const TrackLayout layout = WalkTrackLayout(design);
  plan_ = DrawPlan(layout);
  profile_ = DrawProfile(layout);
  Facts->setText(QString::fromStdString(DescribeLayout(layout)));
  update();
}

void LayoutPreview::clearDesign() {
  plan_.reset();
  profile_.clear();
  Facts->setText(tr("Select a design to see its layout"));
  update();
}

void LayoutPreview::paintEvent(QPaintEvent*) {
  if (!plan_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double w = width();
  paintPlan(painter, QRectF(4, 4, w - 8, kPlanHeight - 8));
  paintProfile(painter, QRectF(4, kPlanHeight + 4, w - 8, kProfileHeight - 8));
}

void LayoutPreview::paintPlan(QPainter& painter, const QRectF& box) const {
  const PlanDrawing& d = *plan_;
  const double spanX = std::max(1.0, d.right - d.left);
  const double spanY = std::max(1.0, d.bottom - d.top);
  const double scale = std::min(box.width() / spanX, box.height() / spanY);
  painter.save();
  // Centre the plan in its box; plan units are half tiles, north up.
  painter.translate(box.center());
  painter.scale(scale, scale);
  painter.translate(-(d.left + d.right) / 2, -(d.top + d.bottom) / 2);
  for (const CoveredTile& t : d.tiles) {
    painter.fillRect(QRectF(2.0 * t.y, 2.0 * t.x, 2, 2), QColor(0xe4, 0xe4, 0xe4));
  }
  const double line = 2.0 / scale;  // two pixels whatever the scale
  auto strokePath = [](const PlanStroke& s) {
    QPainterPath path(QPointF(s.from.x, s.from.y));
    if (s.shape == PlanStroke::kQuadratic) {
      path.quadTo(s.c1.x, s.c1.y, s.to.x, s.to.y);
    } else if (s.shape == PlanStroke::kCubic) {
      path.cubicTo(s.c1.x, s.c1.y, s.c2.x, s.c2.y, s.to.x, s.to.y);
    } else {
      path.lineTo(s.to.x, s.to.y);
    }
    return path;
  };
  painter.setBrush(Qt::NoBrush);
  for (const PlanStroke& s : d.strokes) {
    painter.setPen(QPen(Colour(HeightColour(s.height, d.lowest, d.highest)), line, Qt::SolidLine,
                        Qt::RoundCap));
    painter.drawPath(strokePath(s));
  }
  for (const PlanStroke& s : d.strokes) {
    if (s.station) {
      painter.setPen(QPen(kStationColour, 2 * line, Qt::SolidLine, Qt::RoundCap));
      painter.drawPath(strokePath(s));
    } else if (s.chainLift) {
      painter.setPen(QPen(Qt::black, line / 2, Qt::DotLine));
      painter.drawPath(strokePath(s));
    }
  }
  painter.setPen(QPen(kHedgeColour, line));
  for (const PlanWall& w : d.walls) {
    painter.drawLine(QPointF(w.from.x, w.from.y), QPointF(w.to.x, w.to.y));
  }
  for (const PlanPoint& p : d.pillars) painter.fillRect(QRectF(p.x, p.y, 1, 1), kHedgeColour);
  painter.restore();
}

void LayoutPreview::paintProfile(QPainter& painter, const QRectF& box) const {
  if (profile_.size() < 2) return;
  double high = 0;
  double low = 0;
  for (const ProfilePoint& p : profile_) {
    high = std::max(high, p.height);
    low = std::min(low, p.height);
  }
  const double length = std::max(1.0, profile_.back().along);
  auto at = [&](const ProfilePoint& p) {
    return QPointF(box.left() + box.width() * p.along / length,
                   box.bottom() - box.height() * (p.height - low) / std::max(1.0, high - low));
  };
  painter.setPen(QPen(Qt::gray, 1, Qt::DotLine));
  const double startY = at(ProfilePoint{0, 0}).y();
  painter.drawLine(QPointF(box.left(), startY), QPointF(box.right(), startY));
  for (size_t i = 1; i < profile_.size(); ++i) {
    const ProfilePoint& p = profile_[i];
    const QColor colour = p.station ? kStationColour : QColor(0x27, 0x7f, 0x8e);
    painter.setPen(QPen(colour, p.station ? 3 : 1.5, p.chainLift ? Qt::DotLine : Qt::SolidLine));
    painter.drawLine(at(profile_[i - 1]), at(p));
  }
}

}  // namespace velodex
