// The output panel of the main window: the profile list, the three value
// lists, the size estimate, saving a profile, and the output folder and file.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

#include "app/control/profile_choice.h"
#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "app/window/lumivault_form.h"
#include "app/window/output_config_group.h"
#include "app/window/output_panel_rules.h"
#include "app/window/save_file_dialog.h"
#include "app/window/save_profile_form.h"
#include "app/window/shell_open.h"
#include "app/window/value_list_editor.h"
#include "app/window/qt_text.h"
#include "encode/encoder_params.h"
#include "engine/engine_state.h"
#include "profiles/wm_codec_info.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {
QStringList Choices(const ChoiceList& list) {
  QStringList out;
  for (const std::string& item : list) out << Q(item);
  return out;
}

// Clears the value lists' live flag for a scope: the code is filling them.
class ListsQuiet {
 public:
  explicit ListsQuiet(bool& live) : live_(live), was_(live) { live_ = false; }
  ~ListsQuiet() { live_ = was_; }
  ListsQuiet(const ListsQuiet&) = delete;
  ListsQuiet& operator=(const ListsQuiet&) = delete;

 private:
  bool& live_;
  bool was_;
};

void SetRow(ValueListEditor* list, const char* key, const std::string& value, const ChoiceList* choices) {
  int row = list->RowOf(key);
  if (row < 0) return;
  list->SetValue(row, Q(value));
  list->SetPickList(row, choices ? Choices(*choices) : QStringList());
}

std::string RowValue(const ValueListEditor* list, const char* key) {
  int row = list->RowOf(key);
  return row < 0 ? std::string() : S(list->Value(row));
}

std::string Kbps(int value) { return std::to_string(value) + " kbps"; }
}  // namespace

void TLumivaultForm::LoadProfiles() {
  // 1.
  Frame().CurrentProfile = nullptr;
  profileList_.clear();
  ProfileCombo->clear();
  // 2, 3.
  int selected = LoadProfileList(profileList_, AppSettings().lastProfile);
  for (const CProfile& p : profileList_) ProfileCombo->addItem(Q(p.name));
  // 4. An empty folder leaves no selection.
  ProfileCombo->setCurrentIndex(selected);
  if (selected >= 0) ProfileComboChange();
}

void TLumivaultForm::ProfileComboChange() {
  // 1.-5. The selection, its codecs, the output format rules and the next
  // output name are the same for every front end.
  const std::optional<ProfileOutput> out = SelectProfile(profileList_, ProfileCombo->currentIndex());
  if (!out) {
    RefreshValueLists();
    return;
  }
  const CProfile& p = *Frame().CurrentProfile;
  if (SaveProfileForm) SaveProfileForm->ProfileNameEdit->setText(Q(p.name));
  encoderAudioFormat_ = p.aformat;
  if (out->threeGpKind >= 0) threeGpKind_ = out->threeGpKind;
  // 6, 7.
  UpdateProfilePictureSize();
  RefreshValueLists();
}

void TLumivaultForm::UpdateProfilePictureSize() {
  CProfile* p = Frame().CurrentProfile;
  if (!p) return;
  std::string size = PspPictureSize(DisplayWidth(), sourceHeight_, p->s, p->vcodec, p->device, AppSettings().vcAspect);
  if (!size.empty()) p->s = size;
}

void TLumivaultForm::RefreshValueLists() {
  ListsQuiet quiet(valueListsLive_);
  const CProfile* p = Frame().CurrentProfile;
  if (!p) {
    for (ValueListEditor* list : {TimeValueList, VideoValueList, AudioValueList})
      for (int row = 0; row < list->rowCount(); ++row) list->SetValue(row, QString());
    return;
  }
  // 1.
  SetRow(TimeValueList, "Duration", DurationCellText(p->t), nullptr);
  SetRow(TimeValueList, "Start", HmsText(p->ss), nullptr);
  // 2.
  char fps[32];
  std::snprintf(fps, sizeof(fps), "%g fps", p->r);
  SetRow(VideoValueList, "Codec", p->vcodec, &p->vcodecList);
  SetRow(VideoValueList, "Size", p->s, &p->sList);
  SetRow(VideoValueList, "Bitrate", Kbps(p->b), &p->bList);
  SetRow(VideoValueList, "FPS", fps, &p->rList);
  // 3. The audio rows depend on the kind of profile. Rows are rebuilt only
  // when the kind changes: an edit of the list can lead here, and its cell
  // must outlive the edit.
  auto setKeys = [this](const QStringList& keys) {
    if (AudioValueList->Keys() != keys) AudioValueList->SetKeys(keys);
  };
  if (IsWindowsMediaProfile(*p)) {
    setKeys({"Codec", "Format"});
    SetRow(AudioValueList, "Codec", p->acodec, &p->acodecList);
    SetRow(AudioValueList, "Format", p->aformat, &p->aformatList);
  } else {
    setKeys({"Codec", "Bitrate", "Sampling", "Channels"});
    SetRow(AudioValueList, "Codec", p->acodec, &p->acodecList);
    SetRow(AudioValueList, "Bitrate", Kbps(p->ab), &p->abList);
    SetRow(AudioValueList, "Sampling", std::to_string(p->ar), &p->arList);
    SetRow(AudioValueList, "Channels", p->ac, &p->acList);
  }
  for (int row = 0; row < AudioValueList->rowCount(); ++row) AudioValueList->SetReadOnly(row, row < 2);
  // 4.
  UpdateEstimate();
}

void TLumivaultForm::UpdateEstimate() {
  const CProfile* p = Frame().CurrentProfile;
  if (!p) return;
  MBperMinLabel->setText(Q(MbPerMinuteText(p->b, p->ab)));
  // Without a source there is no length to estimate from.
  const double length = Frame().TitleLength;
  EstimatedSizeLabel->setText(length > 0 ? Q(EstimatedSizeText(length, p->b, p->ab)) : QString("Estimated Size:"));
}

void TLumivaultForm::TimeValueListChange() {
  CProfile* p = Frame().CurrentProfile;
  if (!valueListsLive_ || !p) return;
  p->t = ParseTimeCell(RowValue(TimeValueList, "Duration"));
  p->ss = ParseTimeCell(RowValue(TimeValueList, "Start"));
  {
    ListsQuiet quiet(valueListsLive_);
    SetRow(TimeValueList, "Duration", DurationCellText(p->t), nullptr);
    SetRow(TimeValueList, "Start", HmsText(p->ss), nullptr);
  }
  UpdateEstimate();
}

void TLumivaultForm::VideoValueListChange() {
  CProfile* p = Frame().CurrentProfile;
  if (!valueListsLive_ || !p) return;
  p->vcodec = RowValue(VideoValueList, "Codec");
  EncParams().vcodec = p->vcodec;
  p->s = RowValue(VideoValueList, "Size");
  p->b = LeadingInt(RowValue(VideoValueList, "Bitrate"));
  p->r = LeadingReal(RowValue(VideoValueList, "FPS"));
  UpdateEstimate();
}

void TLumivaultForm::AudioValueListChange() {
  CProfile* p = Frame().CurrentProfile;
  if (!valueListsLive_ || !p) return;
  if (!IsWindowsMediaProfile(*p)) {
    p->acodec = RowValue(AudioValueList, "Codec");
    EncParams().acodec = p->acodec;
    p->ab = LeadingInt(RowValue(AudioValueList, "Bitrate"));
    p->ar = LeadingInt(RowValue(AudioValueList, "Sampling"));
    p->ac = RowValue(AudioValueList, "Channels");
    UpdateEstimate();
    return;
  }
  std::string codec = RowValue(AudioValueList, "Codec");
  if (codec == EncParams().acodec) {
    p->aformat = RowValue(AudioValueList, "Format");
    encoderAudioFormat_ = p->aformat;
    p->ab = LeadingInt(p->aformat);
  } else {
    // Another codec: its formats replace the old ones, none chosen yet.
    {
      ListsQuiet quiet(valueListsLive_);
      SetRow(AudioValueList, "Format", "", &p->aformatList);
    }
    p->aformat.clear();
    encoderAudioFormat_.clear();
    p->acodec = codec;
    EncParams().acodec = codec;
    p->ab = 0;
    FillWindowsMediaAudioLists(*p);
    RefreshValueLists();
  }
  UpdateEstimate();
}

void TLumivaultForm::SaveProfileBtnClick() {
  // 1, 2.
  CProfile* p = Frame().CurrentProfile;
  if (!p || !SaveProfileForm) return;
  if (SaveProfileForm->exec() != 1) return;
  // 3, 4. A name longer than the profile name buffer cannot be saved whole.
  // The profile goes into the user's own profile folder; when the system
  // refuses it there, the message says where and why.
  std::string name = S(SaveProfileForm->ProfileNameEdit->text());
  std::string failure;
  if (name.size() > static_cast<size_t>(TSaveProfileForm::kMaxNameBytes) || WriteProfile(*p, name, &failure) != 0) {
    WriteLog("Cannot save profile %s", name.c_str());
    ShowMessageDlg(failure.empty() ? "Cannot save profile. Some characters may not be allowed in the profile name. "
                                   : "Cannot save profile in " + failure,
                   MsgKind::Confirmation, mbOK);
    return;
  }
  // 5, 6. The saved profile becomes the selected one, as if picked.
  LoadProfiles();
  int index = ProfileCombo->findText(Q(name), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index >= 0 && index != ProfileCombo->currentIndex()) {
    ProfileCombo->setCurrentIndex(index);
    ProfileComboChange();
  }
}

void TLumivaultForm::OutputFolderEditChange() {
  FrameState& f = Frame();
  f.SetOutputPath(OutputPathInFolder(S(OutputFolderEdit->text()), f.GetOutputPath(), f.OutputFormat));
  WriteSettingText(kOutputConfigGroup, "LastOutput", f.GetOutputPath().c_str());
}

void TLumivaultForm::BrowseBtnClick() {
  QString folder = QFileDialog::getExistingDirectory(this, "Select your a folder to store converted videos",
                                                     OutputFolderEdit->text(), QFileDialog::ShowDirsOnly);
  // A cancelled browser keeps the folder the user had.
  if (folder.isEmpty()) return;
  OutputFolderEdit->setText(folder);
}

void TLumivaultForm::ShowOutputFolderSpeedBtnClick() { ShellOpen(S(OutputFolderEdit->text())); }

void TLumivaultForm::menu_SetOutputPathClick() {
  QString path = AskSaveFileName(this, Frame().GetOutputPath(), SaveAsFilter(Frame().OutputFormat));
  if (path.isEmpty()) return;
  Frame().SetOutputPath(S(path));
  Engine().OutputNamedByUser = true;
  WriteSettingText(kOutputConfigGroup, "LastOutput", Frame().GetOutputPath().c_str());
}
