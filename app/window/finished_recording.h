#pragma once
// TFinishedRecording ("Information"): the notice after a recording ended,
// with the output's place and the next step.
#include <QDialog>

class QLabel;
class QPushButton;

class TFinishedRecording : public QDialog {
  Q_OBJECT

 public:
  explicit TFinishedRecording(QWidget* parent);

  QLabel* Label0;
  QLabel* Label1;
  QLabel* label_OutputPath;
  QLabel* label_NextStep;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;

 public slots:
  void FormShow();
  void Button1Click();
  void Button2Click();
  void Button3Click();

 signals:
  // "Transfer to PSP": the main window shows the transfer window.
  void transferRequested();

 protected:
  void showEvent(QShowEvent* event) override;
};
