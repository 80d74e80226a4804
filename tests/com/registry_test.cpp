// The registry file: any bytes, one transaction per update, idempotent
// registration, other servers' keys kept, hostile files, unwritable
// locations; and the side-by-side manifest parser.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/registry_text.h"
#include "tests/com/com_test_support.h"

namespace tw::com::testing {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteWhole(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

RegistryUpdate ServerKeys(const std::string& clsid, const std::string& progid, const std::string& library) {
  const std::string classKey = "CLSID\\" + clsid;
  return {{classKey, progid},
          {{classKey + "\\InprocServer32", library},
           {classKey + "\\InprocServer32\\ThreadingModel", "Apartment"},
           {progid + "\\CLSID", clsid}}};
}

class RegistryTest : public ::testing::Test {
 protected:
  ScopedRegistry registry_;
};

TEST_F(RegistryTest, AnyBytesSurviveInKeysAndValuesAndTheFileStaysPrintable) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string oddKey = std::string(" Odd\\key = #%41\n\r\0\x7F\xFF ", 16);
  ASSERT_EQ(RegistryApply({{}, {{oddKey, all}, {"spaces", "  both ends  "}, {"empty", ""}}}), S_OK);
  std::string value;
  ASSERT_EQ(RegistryRead(oddKey, &value), S_OK);
  EXPECT_EQ(value, all);
  ASSERT_EQ(RegistryRead("SPACES", &value), S_OK);  // keys ignore case
  EXPECT_EQ(value, "  both ends  ");
  ASSERT_EQ(RegistryRead("empty", &value), S_OK);
  EXPECT_EQ(value, "");
  EXPECT_EQ(RegistryRead("absent", &value), S_FALSE);
  for (const char c : ReadWhole(registry_.File())) {
    ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c);
  }
}

TEST_F(RegistryTest, AFailingUpdateChangesNothing) {
  ASSERT_EQ(RegistryApply(ServerKeys("{A}", "Server.A", "/lib/a.so")), S_OK);
  const std::string before = ReadWhole(registry_.File());
  // Invalid content: nothing of the update is written, not even its valid part.
  EXPECT_EQ(RegistryApply({{}, {{"valid", "1"}, {"", "empty key"}}}), E_INVALIDARG);
  EXPECT_EQ(RegistryApply({{""}, {}}), E_INVALIDARG);
  EXPECT_EQ(RegistryApply({{}, {{std::string(5000, 'k'), "key too long"}}}), E_INVALIDARG);
  // The lock cannot be taken (its path is a directory): E_FAIL, old file intact.
  std::filesystem::remove(registry_.File() + ".lock");
  ASSERT_EQ(::mkdir((registry_.File() + ".lock").c_str(), 0755), 0);
  EXPECT_EQ(RegistryApply({{"CLSID\\{A}"}, {{"valid", "1"}}}), E_FAIL);
  EXPECT_EQ(ReadWhole(registry_.File()), before);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(registry_.Dir())) ++files;
  EXPECT_EQ(files, 2u);  // the registry and the lock: no temporary left behind
}

TEST_F(RegistryTest, RegisteringTwiceEqualsOnceAndUnregisteringKeepsOtherServers) {
  const RegistryUpdate a = ServerKeys("{A}", "Server.A", "/lib/a.so");
  const RegistryUpdate b = ServerKeys("{A}2", "Server.AB", "/lib/ab.so");  // shares a's key prefixes
  ASSERT_EQ(RegistryApply(b), S_OK);
  ASSERT_EQ(RegistryApply(a), S_OK);
  const std::string once = ReadWhole(registry_.File());
  ASSERT_EQ(RegistryApply(a), S_OK);
  EXPECT_EQ(ReadWhole(registry_.File()), once);

  ASSERT_EQ(RegistryApply({a.removeTrees, {}}), S_OK);  // unregister a
  std::vector<RegistryEntry> left;
  ASSERT_EQ(RegistryList("", &left), S_OK);
  std::vector<RegistryEntry> expected = b.set;
  std::sort(expected.begin(), expected.end(),
            [](const auto& x, const auto& y) { return detail::CompareKeys(x.key, y.key) < 0; });
  EXPECT_EQ(left, expected);
  ASSERT_EQ(RegistryList("server.ab\\", &left), S_OK);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].value, "{A}2");
}

TEST_F(RegistryTest, AHostileFileNeverBreaksTheReader) {
  std::string text =
      "# comment\n"
      "good.one = 1\n"
      "no separator here\n"
      "bad.escape = %G1\n"
      "short.escape = %4\n"
      " = empty key\n"
      "control = a\x01z\n"
      "crlf = kept\r\n"
      "   \t  \n"
      "dup = first\n"
      "DUP = second\n";
  text += std::string("nul = a\0b\n", 10);
  text += "long = " + std::string(detail::kMaxLineBytes, 'x') + "\n";
  for (int i = 0; i < 4096; ++i) text.push_back(static_cast<char>(i * 7919 % 256));
  text += "\nlast = no newline";
  WriteWhole(registry_.File(), text);

  std::vector<RegistryEntry> entries;
  ASSERT_EQ(RegistryList("", &entries), S_OK);
  const std::vector<RegistryEntry> expected = {
      {"crlf", "kept"}, {"DUP", "second"}, {"good.one", "1"}, {"last", "no newline"}};
  EXPECT_EQ(entries, expected);
  // An update still works, keeping what was readable.
  ASSERT_EQ(RegistryApply({{}, {{"new", "2"}}}), S_OK);
  ASSERT_EQ(RegistryList("", &entries), S_OK);
  EXPECT_EQ(entries.size(), 5u);
}

TEST_F(RegistryTest, ALocationUnderARegularFileFails) {
  WriteWhole(registry_.Dir() + "/plain", "not a directory");
  ScopedEnv unwritable("TIDEWIRE_COM_REGISTRY", (registry_.Dir() + "/plain/tidewire/com-registry").c_str());
  EXPECT_EQ(RegistryApply(ServerKeys("{A}", "Server.A", "/lib/a.so")), E_FAIL);
  std::string value;
  EXPECT_EQ(RegistryRead("CLSID\\{A}", &value), E_FAIL);
  std::vector<RegistryEntry> entries;
  EXPECT_EQ(RegistryList("", &entries), E_FAIL);
}

TEST(RegistryPathTest, FollowsTheVariableThenXdgThenHome) {
  ScopedEnv noVariable("TIDEWIRE_COM_REGISTRY", nullptr);
  ScopedEnv home("HOME", "/home/op");
  {
    ScopedEnv data("XDG_DATA_HOME", "/data");
    EXPECT_EQ(RegistryPath(), "/data/tidewire/com-registry");
  }
  {
    ScopedEnv relative("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(RegistryPath(), "/home/op/.local/share/tidewire/com-registry");
  }
  ScopedEnv variable("TIDEWIRE_COM_REGISTRY", "/etc/tw/registry");
  EXPECT_EQ(RegistryPath(), "/etc/tw/registry");
}

TEST(ManifestTest, OnlyCompleteManifestsCount) {
  const std::string clsid = "clsid {5440A16D-C3AC-11D4-A678-00E09805C1C0}\n";
  const struct {
    std::string text;
    bool valid;
  } table[] = {
      {"# control\n" + clsid + "progid VOKAPIXControl.VOKAPIX\nlibrary libVOKAPIXControl.so\nthreading Apartment\n",
       true},
      {clsid + "library libX.so\nfuture-keyword anything\n", true},
      {"progid A.B\nlibrary libX.so\n", false},
      {clsid + "progid A.B\n", false},
      {clsid + "library ../libX.so\n", false},
      {clsid + "library ..\n", false},
      {clsid + "progid A B\nlibrary libX.so\n", false},
      {"clsid {5440A16D}\nlibrary libX.so\n", false},
      {clsid + "library lib\x01X.so\n", false},
      {clsid + "library libX.so\n" + std::string(detail::kMaxManifestBytes, '#'), false},
  };
  for (const auto& row : table) {
    detail::ClassManifest manifest;
    EXPECT_EQ(detail::ParseClassManifest(row.text, &manifest), row.valid) << row.text.substr(0, 120);
  }
  detail::ClassManifest manifest;
  ASSERT_TRUE(detail::ParseClassManifest(table[0].text, &manifest));
  EXPECT_EQ(GuidToString(manifest.clsid), "{5440A16D-C3AC-11D4-A678-00E09805C1C0}");
  EXPECT_EQ(manifest.progid, "VOKAPIXControl.VOKAPIX");
  EXPECT_EQ(manifest.library, "libVOKAPIXControl.so");
}

}  // namespace
}  // namespace tw::com::testing
