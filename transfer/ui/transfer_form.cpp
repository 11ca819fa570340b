#include "transfer/ui/transfer_form.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QToolButton>

#include <algorithm>
#include <filesystem>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "platform/core/paths.h"
#include "settings/settings.h"
#include "transfer/title_patch.h"
#include "transfer/ui/file_operation_dialog.h"
#include "transfer/ui/mount_watcher.h"
#include "transfer/ui/shell_list_view.h"
#include "transfer/utf16_text.h"

namespace {
constexpr int kClientWidth = 792;
constexpr int kClientHeight = 517;
// The design's minimum of 800 is the outer width of a 792-pixel client.
constexpr int kMinimumClientWidth = 792;
constexpr int kPanelTop = 2;
constexpr int kPanelHeight = 118;
constexpr int kTitleRowHeight = 30;
constexpr int kSideButtonSize = 27;
// Attempts at showing an existing device folder before giving up.
constexpr int kSetRootAttempts = 3;

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QToolButton* SideButton(QWidget* parent, const char* name, const QString& text, const QString& hint) {
  auto* b = Named(new QToolButton(parent), name);
  b->setText(text);
  b->setToolTip(hint);
  b->setAutoRaise(true);
  // Flat buttons leave the focus in the list, which tells Delete what to act on.
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

std::vector<std::string> LocalPaths(const QStringList& paths) {
  std::vector<std::string> out;
  for (const QString& p : paths) out.push_back(LocalPath(p));
  return out;
}

// "#,##0.###M": grouped thousands, at most three decimals.
QString MegabyteText(double mb) {
  QString text = QLocale(QLocale::English).toString(mb, 'f', 3);
  while (text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text + QLatin1Char('M');
}

void AddSlice(QPieSeries* series, const QString& name, double value, const QColor& colour) {
  QPieSlice* slice = series->append(name, value);
  slice->setColor(colour);
  slice->setBorderColor(colour.darker(130));
}

// Each slice's colour, name and value, one line each.
QString LegendText(QPieSeries* series) {
  QStringList lines;
  for (QPieSlice* slice : series->slices())
    lines << QStringLiteral("<span style=\"color:%1\">&#9632;</span>&nbsp;%2&nbsp;%3")
                 .arg(slice->color().name(), slice->label().toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;")),
                      MegabyteText(slice->value()));
  return lines.join(QStringLiteral("<br>"));
}

// Volume paths are long; the drive list shows both ends of the chosen one.
class MiddleElidingComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect text = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideMiddle, text.width());
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
  }
};
}  // namespace

TTransferForm::TTransferForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("TransferForm"));
  setWindowTitle(QStringLiteral("Transfer Video files into PSP"));
  BuildPanels();
  TeShellListView1 = Named(new TTeMyShellListView(this), "TeShellListView1");
  TeShellListView2 = Named(new TTeMyShellListView(this), "TeShellListView2");
  btnTransfer = SideButton(this, "btnTransfer", QStringLiteral("=>"), QString());
  btnTransferBack = SideButton(this, "btnTransferBack", QStringLiteral("<="), QString());
  btnDel = SideButton(this, "btnDel", QStringLiteral("Del"), QStringLiteral("Delete"));
  btnRefresh = SideButton(this, "btnRefresh", QString(), QStringLiteral("Refresh"));
  btnRefresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  BuildTitleRow();
  mountWatcher_ = new MountWatcher(this);
  ConnectHandlers();
  setMinimumSize(kMinimumClientWidth, 360);
  resize(kClientWidth, kClientHeight);
  TeDirectoryEdit1->setText(QDir::homePath());
}

TTransferForm::~TTransferForm() {
  // The hook points at this window; a later window sets its own.
  if (shownBefore_) TTeMyShellListView::OnRootChange = nullptr;
}

void TTransferForm::BuildPanels() {
  TePanel1 = Named(new QFrame(this), "TePanel1");
  static_cast<QFrame*>(TePanel1)->setFrameShape(QFrame::StyledPanel);
  Mpeg4_radio = Named(new QRadioButton(QStringLiteral("MPEG4 Video"), TePanel1), "Mpeg4_radio");
  H264_radio = Named(new QRadioButton(QStringLiteral("AVC(H.264) Video"), TePanel1), "H264_radio");
  Mpeg4_radio->setChecked(true);
  HideThumbnail = Named(new QCheckBox(QStringLiteral("Hide Thumbnail files"), TePanel1), "HideThumbnail");
  HideThumbnail->setChecked(true);
  TeLabel1 = Named(new QLabel(QStringLiteral("Video Folder"), TePanel1), "TeLabel1");
  TeDirectoryEdit1 = Named(new QLineEdit(TePanel1), "TeDirectoryEdit1");
  QAction* browse = TeDirectoryEdit1->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                                QLineEdit::TrailingPosition);
  connect(browse, &QAction::triggered, this, [this] {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Video Folder"), TeDirectoryEdit1->text());
    if (!folder.isEmpty()) TeDirectoryEdit1->setText(folder);
  });
  auto* left = new QGridLayout(TePanel1);
  left->setContentsMargins(8, 6, 8, 6);
  left->setVerticalSpacing(4);
  left->addWidget(Mpeg4_radio, 0, 0);
  left->addWidget(H264_radio, 0, 1);
  left->addWidget(HideThumbnail, 1, 0, 1, 2);
  left->addWidget(TeLabel1, 2, 0, 1, 2);
  left->addWidget(TeDirectoryEdit1, 3, 0, 1, 2);
  left->setRowStretch(4, 1);

  TePanel2 = Named(new QFrame(this), "TePanel2");
  static_cast<QFrame*>(TePanel2)->setFrameShape(QFrame::StyledPanel);
  btnDetectPSP = Named(new QPushButton(QStringLiteral("Detect PSP"), TePanel2), "btnDetectPSP");
  TeLabel3 = Named(new QLabel(QStringLiteral("PSP Detected"), TePanel2), "TeLabel3");
  PSPDriveCombo = Named(new MiddleElidingComboBox(TePanel2), "PSPDriveCombo");
  PSPDriveCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  PSPDriveCombo->setMinimumContentsLength(8);
  // The long volume paths are in the drop-down and the tool tip; the pie
  // and its legend get the rest of the panel.
  btnDetectPSP->setMaximumWidth(150);
  PSPDriveCombo->setMinimumWidth(130);
  PSPDriveCombo->setMaximumWidth(150);
  Series1 = Named(new QPieSeries(), "Series1");
  auto* chart = new QChart;
  chart->addSeries(Series1);
  chart->setMargins(QMargins(0, 0, 0, 0));
  chart->setBackgroundRoundness(0);
  chart->setBackgroundBrush(palette().window());
  // The chart's own legend cuts long labels short; a label beside the pie
  // shows every slice with its value in full.
  chart->legend()->hide();
  Chart1 = Named(new QChartView(chart, TePanel2), "Chart1");
  Chart1->setRenderHint(QPainter::Antialiasing);
  Chart1->setMinimumSize(96, 96);
  Chart1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  pieLegend_ = new QLabel(TePanel2);
  pieLegend_->setTextFormat(Qt::RichText);
  auto* right = new QGridLayout(TePanel2);
  right->setContentsMargins(8, 6, 4, 6);
  right->addWidget(btnDetectPSP, 0, 0);
  right->addWidget(TeLabel3, 1, 0);
  right->addWidget(PSPDriveCombo, 2, 0);
  right->setRowStretch(3, 1);
  right->addWidget(Chart1, 0, 1, 4, 1);
  right->addWidget(pieLegend_, 0, 2, 4, 1);
  right->setColumnStretch(1, 1);
}

void TTransferForm::BuildTitleRow() {
  titleRow_ = new QWidget(this);
  TeLabel4 = Named(new QLabel(QStringLiteral("Filename:"), titleRow_), "TeLabel4");
  TitleEdit_Filename = Named(new QLineEdit(titleRow_), "TitleEdit_Filename");
  TitleEdit_Filename->setReadOnly(true);
  TitleEdit_Filename->setMaximumWidth(160);
  TeLabel5 = Named(new QLabel(QStringLiteral("Title:"), titleRow_), "TeLabel5");
  TitleEdit = Named(new QLineEdit(titleRow_), "TitleEdit");
  // Room for the longest title in any script (two units a character
  // outside the basic plane); LimitTitleLength counts the characters.
  TitleEdit->setMaxLength(static_cast<int>(2 * kMaxTitleChars));
  TitleApplyButton = Named(new QPushButton(QStringLiteral("Change Video Title"), titleRow_), "TitleApplyButton");
  auto* row = new QHBoxLayout(titleRow_);
  row->setContentsMargins(4, 2, 2, 2);
  row->addWidget(TeLabel4);
  row->addWidget(TitleEdit_Filename, 1);
  row->addSpacing(8);
  row->addWidget(TeLabel5);
  row->addWidget(TitleEdit, 2);
  row->addWidget(TitleApplyButton);
  EnableTitleControls(false);
}

void TTransferForm::EnableTitleControls(bool on) {
  for (QWidget* w : std::initializer_list<QWidget*>{TeLabel4, TitleEdit_Filename, TeLabel5, TitleEdit,
                                                    TitleApplyButton})
    w->setEnabled(on);
}

void TTransferForm::ConnectHandlers() {
  connect(TeDirectoryEdit1, &QLineEdit::textChanged, this, &TTransferForm::TeDirectoryEdit1Change);
  connect(btnDetectPSP, &QPushButton::clicked, this, &TTransferForm::btnDetectPSPClick);
  connect(PSPDriveCombo, &QComboBox::currentIndexChanged, this, &TTransferForm::PSPDriveComboChange);
  connect(btnTransfer, &QToolButton::clicked, this, &TTransferForm::btnTransferClick);
  connect(btnTransferBack, &QToolButton::clicked, this, &TTransferForm::btnTransferBackClick);
  connect(btnDel, &QToolButton::clicked, this, &TTransferForm::btnDelClick);
  connect(btnRefresh, &QToolButton::clicked, this, &TTransferForm::btnRefreshClick);
  connect(Mpeg4_radio, &QRadioButton::clicked, this, &TTransferForm::Mpeg4_radioClick);
  connect(H264_radio, &QRadioButton::clicked, this, &TTransferForm::H264_radioClick);
  connect(HideThumbnail, &QCheckBox::clicked, this, &TTransferForm::HideThumbnailClick);
  connect(TitleApplyButton, &QPushButton::clicked, this, &TTransferForm::TitleApplyButtonClick);
  connect(TitleEdit, &QLineEdit::textEdited, this, &TTransferForm::LimitTitleLength);
  connect(mountWatcher_, &MountWatcher::Changed, this, &TTransferForm::MountTableChanged);

  TeShellListView1->OnAddFolder = [this](const QString& p, bool f) { return TeShellListView1AddFolder(p, f); };
  TeShellListView2->OnAddFolder = [this](const QString& p, bool f) { return TeShellListView2AddFolder(p, f); };
  TeShellListView1->OnDragOver = [this](QObject* s) { return TeShellListView1DragOver(s); };
  TeShellListView2->OnDragOver = [this](QObject* s) { return TeShellListView2DragOver(s); };
  TeShellListView1->OnDragDrop = [this](QObject* s) { TeShellListView1DragDrop(s); };
  TeShellListView2->OnDragDrop = [this](QObject* s) { TeShellListView2DragDrop(s); };
  TeShellListView1->OnSelectItem = [this](const QString& p, bool s) { TeShellListView1SelectItem(p, s); };
  TeShellListView2->OnSelectItem = [this](const QString& p, bool s) { TeShellListView2SelectItem(p, s); };
  TeShellListView1->OnKeyDown = [this](int key) { TeShellListView1KeyDown(key); };
  TeShellListView2->OnKeyDown = [this](int key) { TeShellListView2KeyDown(key); };
}

void TTransferForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  mountWatcher_->Start();
  FormShow();
}

void TTransferForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) mountWatcher_->Stop();
}

void TTransferForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TTransferForm::FormShow() {
  if (!shownBefore_) {
    shownBefore_ = true;
    TTeMyShellListView::OnRootChange = [this] { ListRootChanged(); };
    TTeMyShellListView::GetTitle = ReadMp4Title;
    ShowFallbackFolder();
    if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr)
      move(main->frameGeometry().center() - rect().center());
  }
  videoKind_ = VideoKindFromFormatMp4(AppSettings().formatMp4);
  (videoKind_ == kH264Video ? H264_radio : Mpeg4_radio)->setChecked(true);
  const QString output = QtPath(Frame().GetOutputPath());
  const int slash = output.lastIndexOf(QLatin1Char('/'));
  if (slash >= 0) TeDirectoryEdit1->setText(slash == 0 ? QStringLiteral("/") : output.left(slash));
  btnDetectPSPClick();
  TeShellListView1->Refresh();
}

void TTransferForm::FormResize() {
  const int w = (width() - 38) / 2;
  const int listTop = kPanelTop + kPanelHeight + 4;
  const int titleTop = height() - kTitleRowHeight - 2;
  const int listHeight = std::max(40, titleTop - 4 - listTop);
  TePanel1->setGeometry(2, kPanelTop, w, kPanelHeight);
  TeShellListView1->setGeometry(2, listTop, w, listHeight);
  TePanel2->setGeometry(w + 33, kPanelTop, w, kPanelHeight);
  TeShellListView2->setGeometry(w + 35, listTop, w, listHeight);
  // The four flat buttons sit in the gap between the lists, around its middle.
  const int x = w + 2 + (33 - kSideButtonSize) / 2;
  const int middle = listTop + listHeight / 2;
  const int step = kSideButtonSize + 6;
  btnTransfer->setGeometry(x, middle - 2 * step, kSideButtonSize, kSideButtonSize);
  btnTransferBack->setGeometry(x, middle - step, kSideButtonSize, kSideButtonSize);
  btnDel->setGeometry(x, middle + 6, kSideButtonSize, kSideButtonSize);
  btnRefresh->setGeometry(x, middle + 6 + step, kSideButtonSize, kSideButtonSize);
  titleRow_->setGeometry(2, titleTop, width() - 4, kTitleRowHeight);
}

void TTransferForm::TeDirectoryEdit1Change() {
  const QString folder = TeDirectoryEdit1->text();
  // A folder that does not exist (yet, while typing) changes nothing.
  TeShellListView1->SetRoot(folder);
}

void TTransferForm::ListRootChanged() {
  const QString root = TeShellListView1->Root();
  if (!root.isEmpty() && QDir::cleanPath(TeDirectoryEdit1->text()) != root) TeDirectoryEdit1->setText(root);
  FillPie();
}

void TTransferForm::ShowFallbackFolder() {
  const std::string folder = FallbackDeviceFolder();
  if (!FolderExists(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) WriteLog("Cannot create the folder %s: %s", folder.c_str(), ec.message().c_str());
  }
  if (!TeShellListView2->SetRoot(QtPath(folder))) TeShellListView2->ShowNothing();
}

QString TTransferForm::SelectedDriveRoot() const { return PSPDriveCombo->currentData().toString(); }

void TTransferForm::RebuildDriveList() {
  driveListReady_ = false;
  const QString previous = SelectedDriveRoot();
  PSPDriveCombo->clear();
  for (const Volume& v : volumes_) {
    const QString entry = QtPath(JoinPath(v.root, DeviceSubfolder(videoKind_)));
    PSPDriveCombo->addItem(entry, QtPath(v.root));
    PSPDriveCombo->setItemData(PSPDriveCombo->count() - 1, entry, Qt::ToolTipRole);
  }
  PSPDriveCombo->setCurrentIndex(previous.isEmpty() ? -1 : PSPDriveCombo->findData(previous));
  driveListReady_ = true;
}

int TTransferForm::DetectPSP() {
  volumes_ = ListVolumes();
  RebuildDriveList();
  return DetectPspVolume(volumes_);
}

void TTransferForm::btnDetectPSPClick() {
  const int found = DetectPSP();
  if (found < 0) {
    TeLabel3->setText(QStringLiteral("PSP not detected"));
    devicePresent_ = false;
    ShowFallbackFolder();
    FillEmpty();
    return;
  }
  TeLabel3->setText(QStringLiteral("PSP detected"));
  devicePresent_ = true;
  if (PSPDriveCombo->currentIndex() == found)
    PSPDriveComboChange();
  else
    PSPDriveCombo->setCurrentIndex(found);
  FillPie();
}

void TTransferForm::PSPDriveComboChange() {
  // It may ask whether to make the video folder.
  RunBusy([this] { ShowDriveFolder(); });
}

void TTransferForm::ShowDriveFolder() {
  if (!isVisible() || !driveListReady_) return;
  const int index = PSPDriveCombo->currentIndex();
  if (index < 0 || index >= static_cast<int>(volumes_.size())) {
    ShowFallbackFolder();
    return;
  }
  const std::string root = volumes_[index].root;
  const std::string existing = FindPathNoCase(root, DeviceSubfolder(videoKind_));
  if (!existing.empty() && FolderExists(existing)) {
    for (int attempt = 0; attempt < kSetRootAttempts; ++attempt)
      if (TeShellListView2->SetRoot(QtPath(existing))) return;
    TeLabel3->setText(QStringLiteral("PSP not detected"));
    return;
  }
  if (DetectPspVolume(volumes_) != index) {
    if (!FolderExists(root)) {
      driveListReady_ = false;
      PSPDriveCombo->setCurrentIndex(-1);
      driveListReady_ = true;
      return;
    }
    const std::string leaf = videoKind_ == kH264Video ? "100ANV01" : "100MNV01";
    const std::string question =
        "This drive does not seems to be a PSP drive. Are you sure to creat PSP video folder \"MP_ROOT\\" +
        leaf + "\" ";
    if (ShowMessageDlg(question, MsgKind::Confirmation, mbYes | mbNo) != mrYes) return;
  }
  std::string error;
  const std::string folder = CreateDeviceFolder(root, videoKind_, &error);
  if (folder.empty()) {
    WriteLog("%s", error.c_str());
    ShowMessageDlg(error, MsgKind::Error, mbOK);
  }
  if (folder.empty() || !TeShellListView2->SetRoot(QtPath(folder))) ShowFallbackFolder();
}

void TTransferForm::SetVideoKind(VideoKind kind) {
  videoKind_ = kind;
  RebuildDriveList();
  TeDirectoryEdit1Change();
  PSPDriveComboChange();
}

void TTransferForm::Mpeg4_radioClick() { SetVideoKind(kMpeg4Video); }

void TTransferForm::H264_radioClick() { SetVideoKind(kH264Video); }

void TTransferForm::HideThumbnailClick() {
  TeDirectoryEdit1Change();
  PSPDriveComboChange();
}

bool TTransferForm::TeShellListView1AddFolder(const QString& path, bool isFolder) {
  return ShowInTransferList(LocalPath(path), isFolder, true, videoKind_, HideThumbnail->isChecked());
}

bool TTransferForm::TeShellListView2AddFolder(const QString& path, bool isFolder) {
  return ShowInTransferList(LocalPath(path), isFolder, false, videoKind_, HideThumbnail->isChecked());
}

bool TTransferForm::TeShellListView1DragOver(QObject* source) { return source == TeShellListView2; }

bool TTransferForm::TeShellListView2DragOver(QObject* source) { return source == TeShellListView1; }

void TTransferForm::TeShellListView1DragDrop(QObject* source) {
  if (source == TeShellListView2) btnTransferBackClick();
}

void TTransferForm::TeShellListView2DragDrop(QObject* source) {
  if (source == TeShellListView1) btnTransferClick();
}

void TTransferForm::btnTransferClick() { CopyBetween(TeShellListView1, TeShellListView2); }

void TTransferForm::btnTransferBackClick() { CopyBetween(TeShellListView2, TeShellListView1); }

void TTransferForm::CopyBetween(TTeMyShellListView* from, TTeMyShellListView* to) {
  const QStringList selected = from->SelectedPaths();
  if (selected.isEmpty()) return;
  const std::vector<std::string> paths = TransferPaths(LocalPaths(selected), HideThumbnail->isChecked());
  std::string dest;
  if (to == TeShellListView2 && !SelectedDriveRoot().isEmpty())
    dest = DeviceFolderPath(LocalPath(SelectedDriveRoot()), videoKind_);
  else
    dest = LocalPath(to->Root());
  if (dest.empty()) {
    // Only when even the folder for files without a stick could not be made.
    ShowMessageDlg("There is no folder to copy to: no PSP is detected and the folder \"" + FallbackDeviceFolder() +
                       "\" cannot be created.",
                   MsgKind::Error, mbOK);
    return;
  }
  RunBusy([&] { CopyWithProgress(this, QStringLiteral("Transfering ... "), paths, dest); });
  // Without change notifications from the file system, the list reads its folder again.
  to->Refresh();
  if (to == TeShellListView2) FillPie();
}

void TTransferForm::btnDelClick() {
  RunBusy([this] { DeleteFocusedList(); });
}

void TTransferForm::DeleteFocusedList() {
  QWidget* focus = focusWidget();
  TTeMyShellListView* list = focus == TeShellListView1   ? TeShellListView1
                             : focus == TeShellListView2 ? TeShellListView2
                                                         : nullptr;
  if (!list || list->SelectedPaths().isEmpty()) return;
  if (ShowMessageDlg("Are you sure to delete selected files?\n", MsgKind::Confirmation, mbYes | mbNo) != mrYes)
    return;
  // The button has asked already; the Delete key has the routine ask.
  DeleteSelected(list, HideThumbnail->isChecked(), false);
  if (list == TeShellListView2) FillPie();
}

void TTransferForm::TeShellListView1KeyDown(int key) {
  if (key == Qt::Key_Delete) RunBusy([this] { DeleteSelected(TeShellListView1, false, true); });
}

void TTransferForm::TeShellListView2KeyDown(int key) {
  if (key == Qt::Key_Delete) RunBusy([this] { DeleteSelected(TeShellListView2, false, true); });
}

void TTransferForm::DeleteSelected(TTeMyShellListView* list, bool withThumbnails, bool ask) {
  const QStringList selected = list->SelectedPaths();
  if (selected.isEmpty()) return;
  const std::vector<std::string> paths = TransferPaths(LocalPaths(selected), withThumbnails);
  DeleteWithProgress(this, ask ? QStringLiteral("Deleting") : QStringLiteral("Deleting ... "), paths, ask);
  list->Refresh();
  if (!selectedMp4_.isEmpty() && !QFileInfo::exists(selectedMp4_)) UpdateTitleEdit(nullptr, QString(), false);
}

void TTransferForm::btnRefreshClick() {
  TeShellListView1->Refresh();
  TeShellListView2->Refresh();
}

void TTransferForm::FillPie() {
  if (!devicePresent_) return;
  const QString root = SelectedDriveRoot();
  if (root.isEmpty()) return;
  VolumeSpace space;
  if (!QueryVolumeSpace(LocalPath(root), &space))
    WriteLog("Cannot read the space of %s", LocalPath(root).c_str());
  const std::uint64_t totalMb = space.totalBytes / 1024 / 1024;
  const std::uint64_t freeMb = space.freeBytes / 1024 / 1024;
  double videoMb = 0.0;
  for (int row = 0; row < TeShellListView2->ItemCount(); ++row)
    if (!TeShellListView2->ItemIsFolder(row)) videoMb += FileSizeMiB(LocalPath(TeShellListView2->ItemPath(row)));
  const auto video = static_cast<std::int64_t>(videoMb);
  // Reserved blocks count as used but not as free: keep "Other" from going below zero.
  const std::int64_t other =
      std::max<std::int64_t>(0, static_cast<std::int64_t>(totalMb) - video - static_cast<std::int64_t>(freeMb));
  Series1->clear();
  AddSlice(Series1, QStringLiteral("Free"), static_cast<double>(freeMb), QColor(Qt::green));
  AddSlice(Series1, QStringLiteral("Video"), static_cast<double>(video), QColor(Qt::red));
  AddSlice(Series1, QStringLiteral("Other"), static_cast<double>(other), QColor(Qt::blue));
  pieLegend_->setText(LegendText(Series1));
}

void TTransferForm::FillEmpty() {
  Series1->clear();
  QPieSlice* slice = Series1->append(QStringLiteral("None "), 0.0);
  slice->setColor(palette().color(QPalette::Button));
  // An empty slice would still draw its edge as a line from the centre.
  slice->setPen(Qt::NoPen);
  pieLegend_->setText(LegendText(Series1));
}

void TTransferForm::TeShellListView1SelectItem(const QString& path, bool selected) {
  UpdateTitleEdit(TeShellListView1, path, selected);
}

void TTransferForm::TeShellListView2SelectItem(const QString& path, bool selected) {
  UpdateTitleEdit(TeShellListView2, path, selected);
}

void TTransferForm::UpdateTitleEdit(TTeMyShellListView* list, const QString& path, bool selected) {
  const bool mp4 = list && selected && IsMp4Name(LocalPath(path), "mp4");
  EnableTitleControls(mp4);
  if (!mp4) {
    TitleEdit->clear();
    return;
  }
  selectedMp4_ = path;
  selectedList_ = list;
  TitleEdit_Filename->setText(QFileInfo(path).fileName());
  shownTitle_ = list->Title(path);
  TitleEdit->setText(shownTitle_);
}

void TTransferForm::LimitTitleLength() {
  const std::u16string units = TitleEdit->text().toStdU16String();
  if (Utf16CharacterCount(units) <= kMaxTitleChars) return;
  const int cursor = TitleEdit->cursorPosition();
  TitleEdit->setText(QString::fromStdU16String(Utf16FirstCharacters(units, kMaxTitleChars)));
  TitleEdit->setCursorPosition(std::min(cursor, static_cast<int>(TitleEdit->text().size())));
}

void TTransferForm::TitleApplyButtonClick() {
  if (selectedMp4_.isEmpty() || !selectedList_ || busy_) return;
  // A title the user did not change is not written: the file stays as it is.
  if (TitleEdit->text() == shownTitle_) return;
  RunBusy([this] { ChangeTitle(LocalPath(selectedMp4_), TitleEdit->text()); });
}

void TTransferForm::ChangeTitle(const std::string& path, const QString& title) {
  Mp4TitleChange change;
  TitleWriteResult result = change.Prepare(path, title.toStdU16String());
  // Writing a whole file anew takes a while: off this thread, with progress.
  if (result == TitleWriteResult::Written && change.RewritesFile())
    RunWithProgress(this, QStringLiteral("Changing the title ... "),
                    [&](const FileOpProgressFn& progress) { result = change.Apply(progress); });
  else if (result == TitleWriteResult::Written)
    result = change.Apply();
  if (result != TitleWriteResult::Written && result != TitleWriteResult::Cancelled)
    ShowMessageDlg("Cannot change the title: \"" + LocalPath(QFileInfo(QtPath(path)).fileName()) + "\" " +
                       TitleWriteProblem(result) + ".",
                   MsgKind::Error, mbOK);
  selectedList_->Refresh();
  if (selectedList_ == TeShellListView2) FillPie();
  shownTitle_ = selectedList_->Title(selectedMp4_);
  TitleEdit->setText(shownTitle_);
}

void TTransferForm::RunBusy(const std::function<void()>& operation) {
  if (busy_) {
    operation();
    return;
  }
  busy_ = true;
  operation();
  busy_ = false;
  if (detectWhenIdle_) {
    detectWhenIdle_ = false;
    MountTableChanged();
  }
}

void TTransferForm::MountTableChanged() {
  if (busy_) {
    detectWhenIdle_ = true;
    return;
  }
  if (!isVisible()) return;
  // As if "Detect PSP" had been pressed; a stick that went away leaves the
  // fallback folder and the empty pie, without a message.
  WriteLog("The mount table changed: detecting the PSP again");
  RunBusy([this] { btnDetectPSPClick(); });
  TeShellListView1->Refresh();
  if (!selectedMp4_.isEmpty() && !QFileInfo::exists(selectedMp4_)) UpdateTitleEdit(nullptr, QString(), false);
}
