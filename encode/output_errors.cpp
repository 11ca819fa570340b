#include "encode/output_errors.h"

#include "core/diag_log.h"
#include "core/message_dlg.h"
#include "platform/core/paths.h"
#include "settings/translate.h"

void ReportCannotCreateOutput(const std::string& path, int systemError) {
  const bool exists = PathExists(path);
  WriteLog("Error: %d. Could not open '%s'\n. FileExist=%d", systemError, path.c_str(), exists ? 1 : 0);
  if (exists)
    ShowMessageDlg(translate("Cannot create output file. The file is read-only or being used by other "
                             "applications. \n\nPlease set another output filename under File menu.."),
                   MsgKind::Error, mbOK);
  else
    ShowMessageDlg(translate("Cannot create output file. Output folder does not exist or you have no "
                             "permission to create files in the output folder. \n\nTry to set another "
                             "output folder under File menu."),
                   MsgKind::Error, mbOK);
}
