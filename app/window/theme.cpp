#include "app/window/theme.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>

#include "app/window/tooltip_timing.h"

namespace {
class CorvaneStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return ToolTipShowDelay();
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};
}  // namespace

void ApplyTheme(QApplication& app) {
  QApplication::setStyle(new CorvaneStyle(QStyleFactory::create("Fusion")));
  QPalette pal = QApplication::style()->standardPalette();
  pal.setColor(QPalette::Window, QColor(0xEC, 0xEE, 0xF1));
  pal.setColor(QPalette::Button, QColor(0xE2, 0xE6, 0xEB));
  pal.setColor(QPalette::Highlight, QColor(0x2F, 0x6F, 0xB3));
  pal.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
  app.setPalette(pal);
  // The windows' pixel layouts were drawn for an 8-point interface font.
  QFont font = QApplication::font();
  font.setPointSize(8);
  QApplication::setFont(font);
}
