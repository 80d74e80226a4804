// The channel table on its own: which link a report by port and calls
// finds, ids that are never given out twice, and where a removal stood.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "control/component/channel_table.h"

namespace tw::testing {
namespace {

// The ids of a table or of the records taken from it, in order: "1,3".
template <class Range>
std::string IdsOf(const Range& records) {
  std::string ids;
  for (const auto& link : records) ids += (ids.empty() ? "" : ",") + std::to_string(link->ChannelId);
  return ids;
}

struct LookupCase {
  const char* name;
  int port;
  const char* from;
  const char* to;
  int askedPort;
  const char* a;
  const char* b;
  bool found;
};

const LookupCase kLookups[] = {
    {"as made", 1, "N0CALL", "N0A", 1, "N0CALL", "N0A", true},
    {"reversed", 1, "N0CALL", "N0A", 1, "N0A", "N0CALL", true},
    {"other port", 1, "N0CALL", "N0A", 2, "N0CALL", "N0A", false},
    {"other SSID", 1, "N0CALL", "N0A", 1, "N0CALL", "N0A-1", false},
    {"other station", 1, "N0CALL", "N0A", 1, "N0CALL", "N0B", false},
    {"one end twice", 1, "N0CALL", "N0A", 1, "N0A", "N0A", false},
    {"SSID 0 asked bare", 3, "N0CALL-0", "N0A-0", 3, "N0A", "N0CALL", true},
    {"bare asked with SSID 0", 3, "N0CALL", "N0A", 3, "N0CALL-0", "N0A-0", true},
    {"SSID kept", 1, "N0CALL-7", "N0A-15", 1, "N0A-15", "N0CALL-7", true},
    {"SSID 7 is not bare", 1, "N0CALL-7", "N0A", 1, "N0CALL", "N0A", false},
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class Lookup : public ::testing::TestWithParam<LookupCase> {};

// Each row alone, and after a lookup of another link: the record found
// last is tried first, and a miss there must still search the rest.
TEST_P(Lookup, FindsTheLinkInEitherDirectionWhateverWasFoundLast) {
  const LookupCase& c = GetParam();
  for (bool otherFoundFirst : {false, true}) {
    SCOPED_TRACE(otherFoundFirst ? "another link found first" : "alone");
    ChannelTable table;
    if (otherFoundFirst) {
      ASSERT_NE(table.Add(c.port, "N0X", "N0Y"), nullptr);
    }
    LinkCB* made = table.Add(c.port, c.from, c.to);
    ASSERT_NE(made, nullptr);
    if (otherFoundFirst) {
      ASSERT_NE(table.FindLink(c.port, "N0Y", "N0X"), nullptr);
    }
    EXPECT_EQ(table.FindLink(c.askedPort, c.a, c.b), c.found ? made : nullptr);
    // A link the table has is not made twice, and spends no id.
    EXPECT_EQ(table.Add(c.askedPort, c.a, c.b) == nullptr, c.found);
  }
}

INSTANTIATE_TEST_SUITE_P(ChannelTable, Lookup, ::testing::ValuesIn(kLookups));

// One step of a scenario and what it must answer.
struct Step {
  enum Op { kAdd, kFindLink, kFindChannel, kRemove, kTakeAll } op;
  int port = 1;
  const char* a = "";
  const char* b = "";
  int id = 0;                 // kFindChannel, kRemove
  int answer = 0;             // the id given or found, 0 for none; kRemove: Removed
  const char* left = nullptr;  // ids in the table afterwards (kTakeAll: those taken)
};

struct ScenarioCase {
  const char* name;
  std::vector<Step> steps;
};

constexpr int kNone = static_cast<int>(ChannelTable::Removed::kNone);
constexpr int kOnly = static_cast<int>(ChannelTable::Removed::kOnly);
constexpr int kFirst = static_cast<int>(ChannelTable::Removed::kFirst);
constexpr int kLater = static_cast<int>(ChannelTable::Removed::kLater);

const ScenarioCase kScenarios[] = {
    {"ids count from one in creation order",
     {{Step::kAdd, 1, "N0CALL", "N0A", 0, 1, "1"},
      {Step::kAdd, 1, "N0CALL", "N0B", 0, 2, "1,2"},
      {Step::kAdd, 2, "N0CALL", "N0A", 0, 3, "1,2,3"},
      {Step::kFindChannel, 0, "", "", 2, 2},
      {Step::kFindChannel, 0, "", "", 0, 0},
      {Step::kFindChannel, 0, "", "", 4, 0}}},
    {"a refused link spends no id",
     {{Step::kAdd, 1, "N0CALL", "N0A", 0, 1},
      {Step::kAdd, 1, "N0A", "N0CALL", 0, 0},
      {Step::kAdd, 1, "N0CALL", "N0B", 0, 2, "1,2"}}},
    {"ids are not reused after removal or emptying",
     {{Step::kAdd, 1, "N0CALL", "N0A", 0, 1},
      {Step::kRemove, 0, "", "", 1, kOnly, ""},
      {Step::kFindChannel, 0, "", "", 1, 0},
      {Step::kAdd, 1, "N0CALL", "N0A", 0, 2},
      {Step::kAdd, 1, "N0CALL", "N0B", 0, 3},
      {Step::kTakeAll, 0, "", "", 0, 0, "2,3"},
      {Step::kFindLink, 1, "N0CALL", "N0A", 0, 0, ""},
      {Step::kAdd, 1, "N0CALL", "N0A", 0, 4, "4"}}},
    {"where a removal stood",
     {{Step::kAdd, 1, "N0CALL", "N0A", 0, 1},
      {Step::kAdd, 1, "N0CALL", "N0B", 0, 2},
      {Step::kAdd, 1, "N0CALL", "N0C", 0, 3},
      {Step::kAdd, 1, "N0CALL", "N0D", 0, 4},
      {Step::kRemove, 0, "", "", 9, kNone, "1,2,3,4"},
      {Step::kRemove, 0, "", "", 0, kNone, "1,2,3,4"},
      {Step::kRemove, 0, "", "", 2, kLater, "1,3,4"},
      {Step::kRemove, 0, "", "", 4, kLater, "1,3"},
      {Step::kRemove, 0, "", "", 1, kFirst, "3"},
      {Step::kRemove, 0, "", "", 1, kNone, "3"},
      {Step::kRemove, 0, "", "", 3, kOnly, ""}}},
    {"the link found last is gone or moved",
     {{Step::kAdd, 1, "N0CALL", "N0A", 0, 1},
      {Step::kAdd, 1, "N0CALL", "N0B", 0, 2},
      {Step::kFindLink, 1, "N0B", "N0CALL", 0, 2},
      {Step::kRemove, 0, "", "", 2, kLater, "1"},
      {Step::kFindLink, 1, "N0CALL", "N0B", 0, 0},
      {Step::kAdd, 1, "N0CALL", "N0C", 0, 3},
      {Step::kFindLink, 1, "N0CALL", "N0A", 0, 1},
      {Step::kRemove, 0, "", "", 1, kFirst, "3"},
      {Step::kFindLink, 1, "N0CALL", "N0A", 0, 0},
      {Step::kFindLink, 1, "N0C", "N0CALL", 0, 3}}},
};

void PrintTo(const ScenarioCase& c, std::ostream* os) { *os << c.name; }

class Scenario : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(Scenario, AnswersEveryStep) {
  ChannelTable table;
  int n = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE("step " + std::to_string(++n));
    int answer = 0;
    std::string left;
    switch (step.op) {
      case Step::kAdd:
        if (LinkCB* link = table.Add(step.port, step.a, step.b)) {
          answer = link->ChannelId;
          EXPECT_EQ(link->Port, step.port);
          EXPECT_EQ(link->From, step.a);
          EXPECT_EQ(link->To, step.b);
          EXPECT_EQ(link->LinkStatus, kLinkCreated);
        }
        break;
      case Step::kFindLink:
        if (LinkCB* link = table.FindLink(step.port, step.a, step.b)) answer = link->ChannelId;
        break;
      case Step::kFindChannel:
        if (LinkCB* link = table.FindChannel(step.id)) answer = link->ChannelId;
        break;
      case Step::kRemove:
        answer = static_cast<int>(table.Remove(step.id));
        break;
      case Step::kTakeAll:
        left = IdsOf(table.TakeAll());
        EXPECT_EQ(table.Size(), 0u);
        break;
    }
    EXPECT_EQ(answer, step.answer);
    if (step.left != nullptr) {
      EXPECT_EQ(step.op == Step::kTakeAll ? left : IdsOf(table), step.left);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ChannelTable, Scenario, ::testing::ValuesIn(kScenarios));

}  // namespace
}  // namespace tw::testing
