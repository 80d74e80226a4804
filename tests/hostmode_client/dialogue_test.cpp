// The client's side of the terminal dialogue, fed as the block reader
// would feed it.
#include <gtest/gtest.h>

#include <string>

#include "tools/hostmode_client/terminal_dialogue.h"

namespace tw::hostmode {
namespace {

Received Text(std::string text) {
  Received item;
  item.kind = Received::Kind::Text;
  item.text = std::move(text);
  return item;
}

Received BlockItem(HostBlock block) {
  Received item;
  item.block = std::move(block);
  return item;
}

TEST(TerminalDialogue, AnswersPromptsCutInPiecesAndWaitsForTheResetBlock) {
  TerminalDialogue dialogue;
  EXPECT_EQ(dialogue.Start(), "\r");
  EXPECT_EQ(dialogue.Receive(Text("c")), "");
  EXPECT_EQ(dialogue.Receive(Text("md")), "");
  EXPECT_EQ(dialogue.Receive(Text(":\r")), "INTFACE HOST\r");
  // Text without the prompt moves nothing on.
  EXPECT_EQ(dialogue.Receive(Text("INTFACE was TERMINAL\r")), "");
  EXPECT_EQ(dialogue.Receive(Text("cmd:")), "RESET\r");
  EXPECT_EQ(dialogue.Receive(BlockItem({'S', '1', 'A', "*** DISCONNECTED"})), "");
  EXPECT_FALSE(dialogue.InHostMode());
  dialogue.Receive(BlockItem({'S', '0', '0', ""}));
  EXPECT_TRUE(dialogue.InHostMode());

  dialogue.Start();
  dialogue.Receive(BlockItem({'D', '1', 'A', "held data"}));
  EXPECT_NE(dialogue.Awaiting().find("host mode already"), std::string::npos);
}

}  // namespace
}  // namespace tw::hostmode
