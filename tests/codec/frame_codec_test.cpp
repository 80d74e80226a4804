#include "control/link/frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

std::vector<Frame> Feed(FrameReader& reader, std::string_view bytes) {
  reader.Append(bytes);
  std::vector<Frame> frames;
  while (auto frame = reader.Next()) frames.push_back(std::move(*frame));
  return frames;
}

TEST(FrameReader, FrameSplitAtEveryOffsetIsDecodedOnceWhenComplete) {
  std::string wire = EncodeFrame(3, 0xF0, 'D', "N0CALL-1", "N0CALL-2", "hello") +
                     EncodeFrame(1, 0, 'G', "", "", "");
  for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
    FrameReader reader;
    auto first = Feed(reader, std::string_view(wire).substr(0, cut));
    auto second = Feed(reader, std::string_view(wire).substr(cut));
    first.insert(first.end(), second.begin(), second.end());
    ASSERT_EQ(first.size(), 2u) << "cut at " << cut;
    EXPECT_EQ(first[0].header.port, 3);
    EXPECT_EQ(first[0].header.kind, 'D');
    EXPECT_EQ(first[0].header.callFrom, "N0CALL-1");
    EXPECT_EQ(first[0].data, "hello");
    EXPECT_EQ(first[1].header.kind, 'G');
    EXPECT_EQ(first[1].data, "");
  }
}

}  // namespace
}  // namespace tw
