#include "app/window/screen_covers.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "app/window/output_setting_dlg.h"

TBlankScreen::TBlankScreen(QWidget* mainForm) : QWidget(mainForm, Qt::Window) {
  setObjectName("BlankScreen");
  setWindowTitle("Blank Screen");
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
}

void TBlankScreen::showEvent(QShowEvent* event) {
  // Covers the screen the main window is on.
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (screen) setGeometry(screen->geometry());
  QWidget::showEvent(event);
}

TPromptAfterBlankScreen::TPromptAfterBlankScreen(QWidget* mainForm)
    : QWidget(mainForm, Qt::Window), mainForm_(mainForm) {
  setObjectName("PromptAfterBlankScreen");
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setFixedSize(260, 80);
  setAutoFillBackground(true);
  Label1 = new QLabel("Optimizing ...", this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  QFont f = Label1->font();
  f.setPointSize(f.pointSize() + 4);
  Label1->setFont(f);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
}

void TPromptAfterBlankScreen::showEvent(QShowEvent* event) {
  CentreOnForm(this, mainForm_);
  QWidget::showEvent(event);
}
