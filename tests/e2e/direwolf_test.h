// The start and the end that every test on the Dire Wolf pair shares: the
// pair comes up before the test (which is skipped, with the reason, on a
// machine that cannot run it), and after a failure its files stay and the
// test's own account is printed with where they are.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

#include "tests/e2e/direwolf_pair.h"
#include "tests/e2e/e2e_settings.h"

namespace tw::e2e {

// The pair with this build's settings; nullptr, with the reason, when this
// machine cannot run it.
inline std::unique_ptr<DirewolfPair> StartPair(std::string& whyNot) {
  return DirewolfPair::Start(PairOptions(), whyNot);
}

// After a failed test: the engines' files stay, and `report` is printed with
// where they are.
inline void KeepAfterFailure(DirewolfPair& pair, const std::string& report) {
  pair.KeepFiles();
  std::cout << report << "engine logs kept in " << pair.Directory() << "\n";
}

// A fixture on the pair. A derived SetUp calls this one first and returns
// when the test was skipped; a derived TearDown calls this one before it
// takes down what its report reads.
class DirewolfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    pair_ = StartPair(whyNot);
    if (!pair_) GTEST_SKIP() << "Dire Wolf cannot run here: " << whyNot;
  }

  void TearDown() override {
    if (pair_ && HasFailure()) KeepAfterFailure(*pair_, Report());
  }

  // What a failed test prints besides where the engines' files are.
  virtual std::string Report() { return {}; }

  std::unique_ptr<DirewolfPair> pair_;
};

}  // namespace tw::e2e
