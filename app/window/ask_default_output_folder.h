#pragma once
// TAskDefaultOutputFolder ("Choose Default Output Folder ..."): where the
// converted videos go when no output path has been chosen yet. Every choice
// sets the output path and writes it at once; OK hands the folder to the
// main window's output folder field.
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class QRadioButton;

class TAskDefaultOutputFolder : public QDialog {
  Q_OBJECT

 public:
  explicit TAskDefaultOutputFolder(QWidget* parent);

  QLabel* Label1;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton3;
  QRadioButton* RadioButton4;
  QPushButton* BrowseButton;
  QPushButton* TeButton2;

 public slots:
  void FormShow();
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton3Click();
  void RadioButton4Click();
  void BrowseButtonClick();
  void TeButton2Click();

 signals:
  // The folder the main window's output folder field is to show.
  void outputFolderChosen(const QString& folder);

 protected:
  void showEvent(QShowEvent* event) override;
};

// The output path in folder for the second and third choice: folder plus
// the file part of outputPath, or "/untitled.<avi|wmv|mp4>" when the path has
// no folder; other formats give the folder alone.
std::string OutputPathInChosenFolder(const std::string& folder, const std::string& outputPath, int outputFormat);

// The folder the output folder field shows for an output path: the path up
// to its last '/', else the home folder.
std::string FolderFieldForPath(const std::string& outputPath, const std::string& homeFolder);
