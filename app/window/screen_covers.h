#pragma once
// The two borderless forms that cover the screen while the engine switches
// the display acceleration: a blank screen, and "Optimizing ..." after it.
#include <QWidget>

class QLabel;

class TBlankScreen : public QWidget {
  Q_OBJECT

 public:
  explicit TBlankScreen(QWidget* mainForm);

 protected:
  void showEvent(QShowEvent* event) override;
};

class TPromptAfterBlankScreen : public QWidget {
  Q_OBJECT

 public:
  explicit TPromptAfterBlankScreen(QWidget* mainForm);
  QLabel* Label1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* mainForm_;
};
