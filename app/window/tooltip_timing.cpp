#include "app/window/tooltip_timing.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPointer>
#include <QToolTip>
#include <QWidget>
#include <atomic>

namespace {
std::atomic<int> g_showDelayMs{700};

// Shows each widget's tool tip for a fixed time instead of one that
// depends on the text's length.
class ToolTipKeeper : public QObject {
 public:
  ToolTipKeeper(QObject* parent, int keepUpMs) : QObject(parent), keepUpMs_(keepUpMs) {}
  void SetKeepUp(int ms) { keepUpMs_ = ms; }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->toolTip().isEmpty()) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), keepUpMs_);
    return true;
  }

 private:
  int keepUpMs_;
};
}  // namespace

int ToolTipShowDelay() { return g_showDelayMs.load(); }

void SetToolTipTiming(int showAfterMs, int keepUpMs) {
  g_showDelayMs = showAfterMs;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  // One filter per application object; it goes with the application.
  static QPointer<ToolTipKeeper> keeper;
  if (keeper && keeper->parent() == app) {
    keeper->SetKeepUp(keepUpMs);
    return;
  }
  keeper = new ToolTipKeeper(app, keepUpMs);
  app->installEventFilter(keeper);
}
