// The engine's view of the main window: what the engine may change, done
// with the window's widgets.
#include <algorithm>
#include <initializer_list>

#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "app/control/recording_control.h"
#include "core/diag_log.h"
#include "core/frame_state.h"
#include "app/window/finished_recording.h"
#include "app/window/ask_default_output_folder.h"
#include "app/window/elided_path.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_setting_dlg.h"
#include "app/window/range_bar.h"
#include "app/window/screen_covers.h"
#include "app/window/screen_image.h"
#include "app/window/value_list_editor.h"
#include "app/window/video_panel.h"
#include "platform/core/paths.h"
#include "transfer/thumbnail.h"

int TLumivaultForm::PositionMax() { return PositionRangeBar->Max(); }

void TLumivaultForm::SetPositionMax(int seconds) {
  RangeBar::QuietScope quiet(*PositionRangeBar);
  PositionRangeBar->SetMax(seconds);
}

int TLumivaultForm::PositionLow() { return PositionRangeBar->Low(); }

void TLumivaultForm::SetPositionLow(int seconds) {
  RangeBar::QuietScope quiet(*PositionRangeBar);
  PositionRangeBar->SetLow(seconds);
}

void TLumivaultForm::MovePositionLow(int seconds) {
  {
    RangeBar::QuietScope quiet(*PositionRangeBar);
    PositionRangeBar->SetLow(seconds);
  }
  PositionRangeBarLowChange();
}

int TLumivaultForm::PositionHigh() { return PositionRangeBar->High(); }

void TLumivaultForm::SetPositionHigh(int seconds) {
  // The handler runs even when the thumb was already there, so that the
  // stop point and its label always follow the call.
  {
    RangeBar::QuietScope quiet(*PositionRangeBar);
    PositionRangeBar->SetHigh(seconds);
  }
  PositionRangeBarHighChange();
}

bool TLumivaultForm::IsDraggingPosition() { return PositionRangeBar->IsMouseDown(); }

void TLumivaultForm::RunPositionHighChange() { PositionRangeBarHighChange(); }

int TLumivaultForm::PositionBarLeft() { return PositionRangeBar->x(); }

int TLumivaultForm::PositionBarWidth() { return PositionRangeBar->width(); }

void TLumivaultForm::SetTimeLabel(const std::string& text) { TimeLabel->setText(QString::fromStdString(text)); }

void TLumivaultForm::ShowStartPointLabel(const std::string& caption, int left) {
  StartPoint_label->setText(QString::fromStdString(caption));
  StartPoint_label->adjustSize();
  if (left >= 0) StartPoint_label->move(left, StartPoint_label->y());
  StartPoint_label->raise();
}

void TLumivaultForm::ShowEndPointLabel(const std::string& caption, int right) {
  EndPoint_label->setText(QString::fromStdString(caption));
  EndPoint_label->adjustSize();
  if (right >= 0) EndPoint_label->move(right - EndPoint_label->width(), EndPoint_label->y());
  EndPoint_label->raise();
}

void TLumivaultForm::SetPointLabelsVisible(bool visible) {
  StartPoint_label->setVisible(visible);
  EndPoint_label->setVisible(visible);
}

// The whole text is the tool tip of a line cut at the status bar's edge.
void TLumivaultForm::SetProgressStatus(const std::string& text) {
  const QString line = QString::fromStdString(text);
  ProgressStatus->setText(ProgressStatus->fontMetrics().elidedText(line, Qt::ElideRight, ProgressStatusRoom()));
  ProgressStatus->setToolTip(line);
}

// The figures always show whole; only the output's folder gives way.
void TLumivaultForm::ShowProgressLine(const std::string& figures, const std::string& outputPath) {
  const QString head = QString::fromStdString(figures);
  const QString path = QString::fromStdString(outputPath);
  const QFontMetrics metrics = ProgressStatus->fontMetrics();
  const int pathRoom = ProgressStatusRoom() - metrics.horizontalAdvance(head) - metrics.horizontalAdvance(' ');
  ProgressStatus->setText(head + ElidedPath(metrics, path, pathRoom) + " ");
  ProgressStatus->setToolTip(head + path + " ");
}

int TLumivaultForm::ProgressStatusRoom() const {
  // Before the status bar has laid the label out, its own width counts.
  const int laidOut = ProgressStatus->contentsRect().width();
  return laidOut > 100 ? laidOut : StatusBar->contentsRect().width() - 8;
}

void TLumivaultForm::SetProgressBar(int percent) { ProgressBar->setValue(std::clamp(percent, 0, 100)); }

void TLumivaultForm::RefreshSizeEstimate() { UpdateEstimate(); }

void TLumivaultForm::ShowBanner(const std::string& text, long bannerColour, bool) {
  // The recording transition effects of the themed toolkit have no
  // counterpart here; the banner changes at once.
  QPalette pal = BannerPanel->palette();
  if (bannerColour < 0)
    pal.setColor(QPalette::Window, palette().color(QPalette::Window));
  else
    pal.setColor(QPalette::Window, QColor(bannerColour & 0xFF, (bannerColour >> 8) & 0xFF, (bannerColour >> 16) & 0xFF));
  BannerPanel->setPalette(pal);
  TopStatusLabel->setText(QString::fromStdString(text));
  TopStatusLabel->show();
}

void TLumivaultForm::FocusVideoPanel() { Panel1->setFocus(); }

void TLumivaultForm::SetBusyCursor(bool busy) {
  if (busy == busyCursor_) return;
  busyCursor_ = busy;
  if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  else QGuiApplication::restoreOverrideCursor();
}

void TLumivaultForm::EnableSaveAsItems(bool enabled) {
  saveAsAllowed_ = enabled;
  menu_SetOutputPath->setEnabled(saveAsAllowed_ && outputEditable_);
  popup_SetOutputPath_menu->setEnabled(saveAsAllowed_ && outputEditable_);
}

// Off while a conversion runs: what it writes, and how, stays as it began
// (the second pass takes the profile and the output path again), so every
// control that changes the profile or the output waits for its end.
void TLumivaultForm::EnableOutputSettingsMenu(bool enabled) {
  outputEditable_ = enabled;
  menu_OutputSetting->setEnabled(enabled);
  for (QWidget* w : std::initializer_list<QWidget*>{ProfileCombo, TimeValueList, VideoValueList, AudioValueList,
                                                    SaveProfileBtn, MoreOptionsBtn, OutputFolderEdit, BrowseBtn})
    w->setEnabled(enabled);
  if (OutputSettingDlg) OutputSettingDlg->EnableEditing(enabled);
  EnableSaveAsItems(saveAsAllowed_);
}

// Another source cannot be opened while a conversion reads this one.
void TLumivaultForm::EnableSourceButton(bool enabled) {
  OpenDVDButton->setEnabled(enabled);
  menu_OpenVideoFile->setEnabled(enabled);
  popup_OpenFile->setEnabled(enabled);
}

void TLumivaultForm::EnableTransportButtons(bool enabled) {
  PlayButton->setEnabled(enabled);
  PauseButton->setEnabled(enabled);
  StopButton->setEnabled(enabled);
}

void TLumivaultForm::SetConvertCaption(const std::string& caption) {
  StartRecordingButton->setText(QString::fromStdString(caption));
  EncodeMenu->setText(QString::fromStdString(caption));
}

void TLumivaultForm::EnableConvertButton(bool enabled) { StartRecordingButton->setEnabled(enabled); }

void TLumivaultForm::EnableThumbnailButton(bool enabled) { SaveThumbnailBtn->setEnabled(enabled); }

void TLumivaultForm::RefreshThumbnailArea() {
  // The shipped default picture until a conversion makes a thumbnail; a
  // missing or unreadable file leaves the button as it is.
  const QPixmap glyph(QString::fromStdString(JoinPath(Frame().ProgramFolder, kDefaultThumbnailPicture)));
  if (!glyph.isNull()) SaveThumbnailBtn->setIcon(QIcon(glyph));
  SaveThumbnailBtn->update();
}

void TLumivaultForm::ShowThumbnailGlyph(const std::string& bmpPath) {
  QPixmap glyph(QString::fromStdString(bmpPath));
  if (glyph.isNull()) {
    WriteLog("Cannot read the thumbnail picture %s", bmpPath.c_str());
    return;
  }
  SaveThumbnailBtn->setIcon(QIcon(glyph));
}

void TLumivaultForm::RepaintWindow() { repaint(); }

void TLumivaultForm::HideStartLogo() { Image1->hide(); }

void TLumivaultForm::HidePausedFrame() {
  PausedScreenPanel->hide();
  ScreenImage->hide();
  ScreenImage->resize(0, 0);
}

void TLumivaultForm::PlacePausedFrame(int top, int height, int width) {
  // Inside the panel's border, where Panel1 shows the playing video.
  QRect inner = PausedScreenPanel->contentsRect();
  ScreenImage->setGeometry(inner.x(), inner.y() + top, width, height);
}

void TLumivaultForm::ShowPausedFrame() {
  // The picture is the frame the video renderer presented last, which is
  // where playback stopped.
  ScreenImage->SetPicture(Panel1->LastFrame());
  PausedScreenPanel->show();
  PausedScreenPanel->raise();
  ScreenImage->show();
  ScreenImage->update();
}

void TLumivaultForm::ShowBlankScreen(bool visible) {
  if (BlankScreen) BlankScreen->setVisible(visible);
}

void TLumivaultForm::ShowOptimizing(bool visible) {
  if (PromptAfterBlankScreen) PromptAfterBlankScreen->setVisible(visible);
}

// The engine runs the timer's step itself (at the end of the file), in the
// middle of its own operation: the step runs whatever the window is doing.
void TLumivaultForm::RunTimerStep() { ::PerformanceMonitorTimer(); }

void TLumivaultForm::AskDefaultOutputFolder() {
  if (AskDefaultOutputFolderForm) AskDefaultOutputFolderForm->exec();
}

// The program is quitting: nobody is there to read the notice.
void TLumivaultForm::ShowFinishedRecording() {
  if (FinishedRecording && !quitting_) FinishedRecording->exec();
}
