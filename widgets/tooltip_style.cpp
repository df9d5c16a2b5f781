#include "widgets/tooltip_style.h"

#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

namespace quorvel {
namespace {

// Takes the tooltip over from the style, whose delay is one for the whole
// application, and shows the text in its own colour.
class TooltipStyler : public QObject {
 public:
  TooltipStyler(QWidget* widget, const QColor& colour, int point_size, int delay_ms)
      : QObject(widget), widget_(widget), colour_(colour), point_size_(point_size) {
    timer_.setSingleShot(true);
    timer_.setInterval(delay_ms);
    connect(&timer_, &QTimer::timeout, this, &TooltipStyler::Show);
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ToolTip:
        return true;  // ours, not the style's
      case QEvent::Enter:
        timer_.start();
        break;
      case QEvent::Leave:
      case QEvent::Hide:
      case QEvent::MouseButtonPress:
        timer_.stop();
        QToolTip::hideText();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  void Show() {
    const QString tip = widget_->toolTip();
    if (tip.isEmpty() || !widget_->isVisible()) return;
    const QString html = QStringLiteral("<p style='color:%1; font-size:%2pt; white-space:pre'>%3</p>")
                             .arg(colour_.name())
                             .arg(point_size_)
                             .arg(tip.toHtmlEscaped());
    QToolTip::showText(QCursor::pos() + QPoint(14, 18), html, widget_);
  }

  QWidget* widget_;
  QColor colour_;
  int point_size_;
  QTimer timer_;
};

}  // namespace

void StyleTooltip(QWidget* widget, const QColor& colour, int point_size, int delay_ms) {
  new TooltipStyler(widget, colour, point_size, delay_ms);
}

}  // namespace quorvel
