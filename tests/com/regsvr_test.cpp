// tw-regsvr as a user runs it: register twice, show, unregister, and the
// failures with their messages and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "tests/com/com_test_support.h"

namespace tw::com::testing {
namespace {

struct Outcome {
  int status;
  std::string output;  // stdout and stderr
};

// `environment`: shell assignments put before the program.
Outcome RunTool(const std::string& arguments, const std::string& environment = "") {
  const std::string command = environment + "'" + TW_REGSVR + "' " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "popen failed"};
  Outcome outcome{0, ""};
  char buffer[4096];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) outcome.output.append(buffer, got);
  const int status = ::pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class RegsvrTest : public ::testing::Test {
 protected:
  ScopedRegistry registry_;
};

TEST_F(RegsvrTest, RegisterTwiceShowAndUnregisterKeepingOtherServers) {
  ASSERT_EQ(RegistryApply({{}, {{"CLSID\\{OTHER}\\InprocServer32", "/lib/other.so"}}}), S_OK);
  Outcome outcome = RunTool("register " + Quoted(TW_TEST_SERVER));
  ASSERT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("DllRegisterServer in"), std::string::npos) << outcome.output;
  std::vector<RegistryEntry> once;
  ASSERT_EQ(RegistryList("", &once), S_OK);
  ASSERT_EQ(RunTool("register " + Quoted(TW_TEST_SERVER)).status, 0);
  std::vector<RegistryEntry> twice;
  ASSERT_EQ(RegistryList("", &twice), S_OK);
  EXPECT_EQ(twice, once);

  outcome = RunTool("show");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.output.find("Registry: " + registry_.File()), std::string::npos) << outcome.output;
  EXPECT_NE(outcome.output.find(InprocServerKey(kTestClsid) + " = /"), std::string::npos) << outcome.output;
  outcome = RunTool("show TwComTest.");
  EXPECT_EQ(outcome.output, "Registry: " + registry_.File() + "\nTwComTest.Widget\\CLSID = " +
                                GuidToString(kTestClsid) + "\n");

  ASSERT_EQ(RunTool("unregister " + Quoted(TW_TEST_SERVER)).status, 0);
  std::vector<RegistryEntry> left;
  ASSERT_EQ(RegistryList("", &left), S_OK);
  EXPECT_EQ(left, (std::vector<RegistryEntry>{{"CLSID\\{OTHER}\\InprocServer32", "/lib/other.so"}}));
  EXPECT_NE(RunTool("show Nothing.").output.find("(nothing under Nothing.)"), std::string::npos);
}

TEST_F(RegsvrTest, FailuresSayWhyAndExitWithOne) {
  const std::string text = registry_.Dir() + "/text.so";
  std::ofstream(text) << "not a library\n";
  std::ofstream(registry_.Dir() + "/plain") << "a file, not a directory\n";
  const std::string unwritable = "TIDEWIRE_COM_REGISTRY=" + Quoted(registry_.Dir() + "/plain/com-registry") + " ";
  const struct {
    std::string command;
    std::string says;
  } table[] = {
      {"register /nonexistent/libx.so", "No such file"},
      {"register " + Quoted(text), "cannot load"},
      {"unregister " + Quoted(TW_TWCOM_LIBRARY), "does not export DllUnregisterServer"},
      {"frobnicate", "Usage: tw-regsvr"},
      {"show a b", "Usage: tw-regsvr"},
  };
  for (const auto& row : table) {
    const Outcome outcome = RunTool(row.command);
    EXPECT_EQ(outcome.status, 1) << row.command;
    EXPECT_NE(outcome.output.find(row.says), std::string::npos) << row.command << ": " << outcome.output;
  }
  for (const std::string& arguments : {"register " + Quoted(TW_TEST_SERVER), std::string("show")}) {
    const Outcome outcome = RunTool(arguments, unwritable);
    EXPECT_EQ(outcome.status, 1) << arguments;
    EXPECT_NE(outcome.output.find("0x80004005 (E_FAIL)"), std::string::npos) << outcome.output;
  }
}

}  // namespace
}  // namespace tw::com::testing
