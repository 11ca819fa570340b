#include "app/window/finished_recording.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/frame_state.h"
#include "app/window/output_panel_rules.h"
#include "app/window/shell_open.h"
#include "engine/recording.h"
#include "platform/sysinfo/environment_checks.h"
#include "settings/settings.h"

TFinishedRecording::TFinishedRecording(QWidget* parent) : QDialog(parent) {
  setObjectName("FinishedRecording");
  setWindowTitle("Information");
  setFixedSize(460, 230);
  Label0 = new QLabel(this);
  Label0->setObjectName("Label0");
  QFont big = Label0->font();
  big.setPointSize(big.pointSize() + 3);
  big.setBold(true);
  Label0->setFont(big);
  Label0->setWordWrap(true);
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  label_OutputPath = new QLabel(this);
  label_OutputPath->setObjectName("label_OutputPath");
  label_OutputPath->setWordWrap(true);
  label_OutputPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label_NextStep = new QLabel(this);
  label_NextStep->setObjectName("label_NextStep");
  label_NextStep->setWordWrap(true);
  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton("Open output folder", this);
  Button2->setObjectName("Button2");
  Button3 = new QPushButton(this);
  Button3->setObjectName("Button3");
  Button3->setText("Transfer to PSP");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 14);
  layout->addWidget(Label0);
  layout->addSpacing(6);
  layout->addWidget(Label1);
  layout->addWidget(label_OutputPath);
  layout->addSpacing(6);
  layout->addWidget(label_NextStep);
  layout->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button3);
  layout->addLayout(buttons);

  connect(Button1, &QPushButton::clicked, this, &TFinishedRecording::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFinishedRecording::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TFinishedRecording::Button3Click);
}

void TFinishedRecording::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TFinishedRecording::FormShow() {
  // An unattended job ends with the machine switched off before anything else.
  if (AppSettings().shutdownWhenDone) ShutDownComputer();
  label_OutputPath->setText(QString::fromStdString(Frame().GetOutputPath()));
  // A source that ended before the range did is not a completed conversion.
  QString early = QString::fromStdString(EndedEarlyText());
  if (!early.isEmpty()) early[0] = early[0].toUpper();
  Label0->setText(early.isEmpty() ? QString("Conversion Completed") : early);
  Label1->setText("Output file location:");
  label_NextStep->setText(
      "Next step: Connect PSP to your computer using a USB cable. And then click \"Transfer to PSP\" button.");
}

void TFinishedRecording::Button1Click() { done(1); }

void TFinishedRecording::Button2Click() {
  done(1);
  ShellOpen(FolderWithSlash(Frame().GetOutputPath()));
}

void TFinishedRecording::Button3Click() {
  emit transferRequested();
  done(1);
}
