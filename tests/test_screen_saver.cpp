// Keeping the screen saver away, against a screen saver service of the
// test's own on a private session bus.
#include "platform/desktop/screen_saver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/desktop_support/fake_screen_saver.h"

// The inhibition is asked for without the caller waiting for the service's
// answer, is held by a connection that stays on the bus (the service drops
// the inhibitions of callers that leave it), and is released with its own
// cookie; without a service, nothing is held and nothing hangs.
TEST(ScreenSaver, InhibitionIsHeldFromALastingConnectionWithoutTheCallerWaiting) {
  PrivateBus bus;
  if (bus.address.empty() || bus.pid <= 0) GTEST_SKIP() << "dbus-daemon is not installed";
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.c_str(), 1);

  InhibitScreenSaver("Converting a video");
  EXPECT_FALSE(ScreenSaverInhibitedAfterPendingCalls()) << "held without a service";
  ReleaseScreenSaver();

  FakeScreenSaver service(bus.address);
  ASSERT_TRUE(service.ok());
  InhibitScreenSaver("Converting a video");
  // Back here while the service still holds the call: answer it now.
  std::vector<ScreenSaverCall> calls = service.CallsOnceThereAre(1);
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_TRUE(service.AnswerHeldInhibit(77));
  EXPECT_TRUE(ScreenSaverInhibitedAfterPendingCalls());
  EXPECT_EQ(calls[0].method, "Inhibit");
  EXPECT_EQ(calls[0].application, "Corvane Video Converter");
  EXPECT_EQ(calls[0].reason, "Converting a video");
  EXPECT_TRUE(service.OnTheBus(calls[0].sender)) << "the inhibiting connection left the bus";

  // A second request while held asks nothing more; the release ends it.
  InhibitScreenSaver("Converting a video");
  ReleaseScreenSaver();
  EXPECT_FALSE(ScreenSaverInhibitedAfterPendingCalls());
  calls = service.CallsOnceThereAre(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].method, "UnInhibit");
  EXPECT_EQ(calls[1].cookie, 77u);
  EXPECT_EQ(calls[1].sender, calls[0].sender);
}
