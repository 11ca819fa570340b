#pragma once
// What the engine tests share: a home, settings folder and output folder of
// their own, the shipped profiles with one selected, questions answered by a
// script, and a headless host to run the engine with. Link
// tests/support/engine_test.cpp into the test program (it also carries the
// sanitizer suppressions for the uninstrumented media libraries).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/control/headless_host.h"
#include "profiles/profile.h"
#include "tests/fixtures/fixtures.h"
#include "tests/support/test_support.h"

// The number of threads the process has now.
int ProcessThreadCount();

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void UseProfile(const std::string& name);
  // Writes a fixture clip named clip<extension>; returns its path.
  std::string Clip(FixtureKind kind, double seconds, FixtureOptions options = {}, const std::string& name = "clip");
  // Opens path from its start and names the output (opening names the
  // default one); returns the output's path.
  std::string OpenFromStart(const std::string& path, const std::string& output);
  // The process's thread count once the one-shot helper threads of the
  // graph (they end on their own after their callers gave up waiting) have
  // had up to ten seconds to end, pumping the host meanwhile: the count when
  // it is at most atMost, else the count then.
  int ThreadsAfterHelpersEnd(int atMost);

  TempDir dir_;
  ScriptedMessageBox box_;
  std::vector<CProfile> profiles_;
  HeadlessHost host_;
};
