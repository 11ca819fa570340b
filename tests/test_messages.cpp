#include "platform/core/messages.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/message_dlg.h"
#include "tests/support/test_support.h"

TEST(Messages, PostedFromOtherThreadsAreDispatchedInOrderOnTheOwner) {
  std::vector<LPARAM> seen;
  QueuedMessageWindow win([&](UINT msg, WPARAM, LPARAM l) {
    EXPECT_EQ(msg, WM_RECORD_PROGRESS);
    seen.push_back(l);
  });
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) PostMessage(&win, WM_RECORD_PROGRESS, 0, i);
  });
  poster.join();
  EXPECT_EQ(win.Dispatch(), 100);
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_EQ(PostMessage(nullptr, WM_GRAPHNOTIFY, 0, 0), FALSE);
}

TEST(MessageDlg, WithoutHandlerTheRefusalIsAnsweredAndAScriptAnswersOtherwise) {
  EXPECT_EQ(ShowMessageDlg("Overwrite?", MsgKind::Confirmation, mbYes | mbNo), mrNo);
  EXPECT_EQ(ShowMessageDlg("Done", MsgKind::Information, mbOK), mrOk);
  ScriptedMessageBox box;
  box.Answer(mrYes);
  EXPECT_EQ(ShowMessageDlg("Overwrite?", MsgKind::Confirmation, mbYes | mbNo), mrYes);
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_EQ(box.texts[0], "Overwrite?");
}
