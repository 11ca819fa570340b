#include "app/window/ask_default_output_folder.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/frame_state.h"
#include "app/window/output_config_group.h"
#include "app/window/output_panel_rules.h"
#include "app/window/save_file_dialog.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

std::string OutputPathInChosenFolder(const std::string& folder, const std::string& outputPath, int outputFormat) {
  size_t slash = outputPath.rfind('/');
  if (slash != std::string::npos) return folder + outputPath.substr(slash);
  if (outputFormat >= 0 && outputFormat <= 3) return folder + "/untitled." + OutputFormatExtension(outputFormat);
  return folder;
}

std::string FolderFieldForPath(const std::string& outputPath, const std::string& homeFolder) {
  size_t slash = outputPath.rfind('/');
  if (slash == std::string::npos) return homeFolder;
  return slash == 0 ? "/" : outputPath.substr(0, slash);
}

namespace {
void StoreOutputPath(const std::string& path) {
  Frame().SetOutputPath(path);
  WriteSettingText(kOutputConfigGroup, "LastOutput", Frame().GetOutputPath().c_str());
}
}  // namespace

TAskDefaultOutputFolder::TAskDefaultOutputFolder(QWidget* parent) : QDialog(parent) {
  setObjectName("AskDefaultOutputFolder");
  setWindowTitle("Choose Default Output Folder ...");
  setFixedSize(430, 250);
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel("Choose the default location where you wish to store movie files:", this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  layout->addWidget(Label1);
  RadioButton1 = new QRadioButton(this);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton2 = new QRadioButton("Desktop", this);
  RadioButton2->setObjectName("RadioButton2");
  RadioButton3 = new QRadioButton(QDir::homePath(), this);
  RadioButton3->setObjectName("RadioButton3");
  RadioButton4 = new QRadioButton("Other folders: ", this);
  RadioButton4->setObjectName("RadioButton4");
  BrowseButton = new QPushButton("Browse folder here ...", this);
  BrowseButton->setObjectName("BrowseButton");
  BrowseButton->hide();
  for (QWidget* w : {static_cast<QWidget*>(RadioButton1), static_cast<QWidget*>(RadioButton2),
                     static_cast<QWidget*>(RadioButton3)})
    layout->addWidget(w);
  auto* other = new QHBoxLayout;
  other->addWidget(RadioButton4);
  other->addWidget(BrowseButton);
  other->addStretch();
  layout->addLayout(other);
  layout->addStretch();
  TeButton2 = new QPushButton("OK", this);
  TeButton2->setObjectName("TeButton2");
  TeButton2->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(TeButton2);
  layout->addLayout(buttons);

  connect(RadioButton1, &QRadioButton::clicked, this, &TAskDefaultOutputFolder::RadioButton1Click);
  connect(RadioButton2, &QRadioButton::clicked, this, &TAskDefaultOutputFolder::RadioButton2Click);
  connect(RadioButton3, &QRadioButton::clicked, this, &TAskDefaultOutputFolder::RadioButton3Click);
  connect(RadioButton4, &QRadioButton::toggled, this, &TAskDefaultOutputFolder::RadioButton4Click);
  connect(BrowseButton, &QPushButton::clicked, this, &TAskDefaultOutputFolder::BrowseButtonClick);
  connect(TeButton2, &QPushButton::clicked, this, &TAskDefaultOutputFolder::TeButton2Click);
}

void TAskDefaultOutputFolder::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TAskDefaultOutputFolder::FormShow() { RadioButton1->setText("\"PSP Movie\" folder on your Desktop"); }

void TAskDefaultOutputFolder::RadioButton1Click() { ChooseDesktopPspMovieFolder(); }

void TAskDefaultOutputFolder::RadioButton2Click() {
  StoreOutputPath(OutputPathInChosenFolder(DesktopFolder(), Frame().GetOutputPath(), Frame().OutputFormat));
}

void TAskDefaultOutputFolder::RadioButton3Click() {
  StoreOutputPath(
      OutputPathInChosenFolder(QDir::homePath().toStdString(), Frame().GetOutputPath(), Frame().OutputFormat));
}

void TAskDefaultOutputFolder::RadioButton4Click() { BrowseButton->setVisible(RadioButton4->isChecked()); }

void TAskDefaultOutputFolder::BrowseButtonClick() {
  QString path = AskSaveFileName(this, Frame().GetOutputPath(), SaveAsFilter(Frame().OutputFormat));
  if (!path.isEmpty()) StoreOutputPath(path.toStdString());
}

void TAskDefaultOutputFolder::TeButton2Click() {
  emit outputFolderChosen(
      QString::fromStdString(FolderFieldForPath(Frame().GetOutputPath(), QDir::homePath().toStdString())));
  done(1);
}
