#include "encode/output_messages.h"

#include "core/diag_log.h"
#include "core/message_dlg.h"
#include "encode/encoder_texts.h"
#include "platform/core/paths.h"

namespace {
// Logs "Error: %d. Could not open ..." with the system error number and
// tells the user why, depending on whether something exists at the path.
void TellCannotCreate(const OutputFailure& f) {
  const bool exists = PathExists(f.path);
  WriteLog("Error: %d. Could not open '%s'\n. FileExist=%d", f.systemError, f.path.c_str(), exists ? 1 : 0);
  const EncoderTexts& t = EncTexts();
  ShowMessageDlg(exists ? t.outputBusy : t.outputFolderUnusable, MsgKind::Error, mbOK);
}

// An encoder this machine's library lacks (AMR-NB, say) or refuses the
// profile's settings: the user is told which, not left with a silent failure.
void TellCodecUnavailable(const OutputFailure& f) {
  ShowMessageDlg("The profile's codecs (" + f.videoCodec + " video, " + f.audioCodec +
                     " audio) cannot be used on this machine with these settings.\n\nPlease choose another profile.",
                 MsgKind::Error, mbOK);
}
}  // namespace

void TellOutputFailure(const OutputFailure& failure) {
  switch (failure.error) {
    case OutputError::None: return;
    case OutputError::NoContainer: ShowSystemMessageBox("Could not find suitable output format", "Error"); return;
    case OutputError::OutOfMemory: ShowSystemMessageBox("Memory error", "Error"); return;
    case OutputError::CodecUnavailable: TellCodecUnavailable(failure); return;
    case OutputError::CannotCreate: TellCannotCreate(failure); return;
  }
}
