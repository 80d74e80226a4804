#include "control/link/ax25_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/text/text.h"
#include "tests/codec/log_capture.h"

namespace tw {
namespace {

using namespace std::string_literals;
using testing::LogCapture;

constexpr int kEnginePort = 8000;

// An address field as on the air; `last` sets the address-extension bit.
std::string Address(std::string_view call, bool last = false) {
  TraceLog quiet;
  std::string address = XCallSign(quiet, call);
  if (last) address.back() = static_cast<char>(address.back() | 0x01);
  return address;
}

// KISS command byte, destination, source and path, ending the address field
// at the last call given.
std::string AddressField(std::string_view to, std::string_view from,
                         const std::vector<std::string>& via = {}) {
  std::string field = "\x00"s + Address(to) + Address(from, via.empty());
  for (std::size_t i = 0; i < via.size(); ++i) field += Address(via[i], i + 1 == via.size());
  return field;
}

TEST(XCallSign, EncodesCallAndSsid) {
  LogCapture capture;
  EXPECT_EQ(XCallSign(capture.log, "NOCALL-7"), "\x9C\x9E\x86\x82\x98\x98\x6E");
  EXPECT_EQ(XCallSign(capture.log, "AB"), "\x82\x84\x40\x40\x40\x40\x60");
  EXPECT_EQ(XCallSign(capture.log, "AB-15"), "\x82\x84\x40\x40\x40\x40\x7E");
  EXPECT_EQ(XCallSign(capture.log, "AB-0"), "\x82\x84\x40\x40\x40\x40\x60");
  EXPECT_EQ(XCallSign(capture.log, ""), "");
  EXPECT_TRUE(capture.lines.empty());
}

TEST(XCallSign, SsidOutOfRangeOrNotDigitsEncodesZero) {
  LogCapture capture;
  const std::string zero = "\x82\x84\x40\x40\x40\x40\x60";
  for (const char* call : {"AB-16", "AB-X", "AB-", "AB-1X", "AB- 1", "AB-+1", "AB-99", "AB-2147483647"}) {
    SCOPED_TRACE(call);
    EXPECT_EQ(XCallSign(capture.log, call), zero);
  }
  EXPECT_TRUE(capture.lines.empty());
}

TEST(XCallSign, SsidTooLargeForANumberGivesTheFallbackCall) {
  LogCapture capture;
  EXPECT_EQ(XCallSign(capture.log, "AB-2147483648"), "NOBODY0");
  EXPECT_EQ(XCallSign(capture.log, "AB-99999999999999999999999"), "NOBODY0");
  EXPECT_EQ(capture.Messages(), (std::vector<std::string>{"{L2} Exception on module XCallSign",
                                                          "{L2} Exception on module XCallSign"}));
}

TEST(XCallSign, DoesNotUpperCaseAndStopsShiftingAtABlank) {
  LogCapture capture;
  EXPECT_EQ(XCallSign(capture.log, "ab"), "\xC2\xC4\x40\x40\x40\x40\x60");
  // Characters from the first blank on stay as they are.
  EXPECT_EQ(XCallSign(capture.log, "A B-1"), "\x82 B\x40\x40\x40\x62");
  EXPECT_EQ(XCallSign(capture.log, "A@B"), "\x82@B\x40\x40\x40\x60");
  // Shifted bytes wrap modulo 256.
  EXPECT_EQ(XCallSign(capture.log, "\xC1\x00"s), "\x82\x00\x40\x40\x40\x40\x60"s);
}

TEST(XCallSign, ABaseLongerThanSixCharactersIsNeitherCutNorRefused) {
  LogCapture capture;
  EXPECT_EQ(XCallSign(capture.log, "ABCDEFGH-3"), "\x82\x84\x86\x88\x8A\x8CGH\x66");
  EXPECT_EQ(XCallSign(capture.log, "-5"), "\x40\x40\x40\x40\x40\x40\x6A");
}

TEST(FCallSign, DecodesCallAndSsid) {
  LogCapture capture;
  EXPECT_EQ(FCallSign(capture.log, "\x9C\x9E\x86\x82\x98\x98\x6E"), "NOCALL-7");
  EXPECT_EQ(FCallSign(capture.log, "\x82\x84\x40\x40\x40\x40\x60"), "AB");
  EXPECT_EQ(FCallSign(capture.log, "\x82\x84\x40\x40\x40\x40\x7F"), "AB-15");
  EXPECT_TRUE(capture.lines.empty());
}

TEST(FCallSign, IgnoresBitsZeroFiveSixAndSevenOfTheSsidByte) {
  LogCapture capture;
  for (char ssidByte : {'\x61', '\xE0', '\x01', '\x80', '\xE1'}) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(ssidByte)));
    EXPECT_EQ(FCallSign(capture.log, "\x82\x84\x40\x40\x40\x40"s + ssidByte), "AB");
  }
  EXPECT_EQ(FCallSign(capture.log, "\x82\x84\x40\x40\x40\x40\xF5"), "AB-10");
}

TEST(FCallSign, StopsAtTheFirstBlankAndKeepsOtherBytes) {
  LogCapture capture;
  EXPECT_EQ(FCallSign(capture.log, "\x82\x40\x84\x84\x84\x84\x60"), "A");
  // Bit 0 of a call byte is dropped; NUL and 0x7F survive.
  EXPECT_EQ(FCallSign(capture.log, "\x83\x00\xFF\x84\x40\x40\x60"s), "A\x00\x7F" "B"s);
  // Only the first seven bytes are read.
  EXPECT_EQ(FCallSign(capture.log, "\x82\x84\x40\x40\x40\x40\x62\x9C\x9E"), "AB-1");
}

TEST(FCallSign, ShortAddressIsRefusedWithALogLine) {
  LogCapture capture;
  EXPECT_EQ(FCallSign(capture.log, "\x82\x84\x40\x40\x40\x40"), "");
  EXPECT_EQ(FCallSign(capture.log, ""), "");
  EXPECT_EQ(capture.Messages(),
            (std::vector<std::string>{"{L2} ERROR Corrupted Call received at FCallSign",
                                      "{L2} ERROR Corrupted Call received at FCallSign"}));
}

TEST(CallSignRoundTrip, EverySsidOfAShortCallSurvives) {
  TraceLog quiet;
  for (int ssid = 0; ssid <= 15; ++ssid) {
    std::string call = ssid == 0 ? "N0CALL" : "N0CALL-" + std::to_string(ssid);
    EXPECT_EQ(FCallSign(quiet, XCallSign(quiet, call)), call);
  }
  EXPECT_EQ(FCallSign(quiet, XCallSign(quiet, "A-3")), "A-3");
}

struct ControlCase {
  std::uint8_t control;
  const char* type;
  bool pollFinal;
  std::uint8_t ns;
  std::uint8_t nr;
  const char* logged;
};

TEST(KissCtl, ClassifiesEveryFrameClass) {
  const ControlCase cases[] = {
      {0x3F, "SABM", true, 0, 0, "U"}, {0x13, "UI", true, 0, 0, "U"},
      {0xB1, "RR", true, 0, 5, "S"},   {0x9E, "I", true, 7, 4, "I"},
      {0x03, "UI", false, 0, 0, "U"},  {0x0F, "DM", false, 0, 0, "U"},
      {0x2F, "SABM", false, 0, 0, "U"}, {0x43, "DISC", false, 0, 0, "U"},
      {0x53, "DISC", true, 0, 0, "U"}, {0x63, "UA", false, 0, 0, "U"},
      {0x73, "UA", true, 0, 0, "U"},   {0x87, "FRMR", false, 0, 0, "U"},
      {0x6F, "", false, 0, 0, "U"},    {0xEF, "", false, 0, 0, "U"},
      {0x05, "RNR", false, 0, 0, "S"}, {0xE9, "REJ", false, 0, 7, "S"},
      {0x0D, "", false, 0, 0, "S"},    {0x00, "I", false, 0, 0, "I"},
      {0xEE, "I", false, 7, 7, "I"},   {0x10, "I", true, 0, 0, "I"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.control));
    LogCapture capture;
    KissControl result = KissCtl(capture.log, c.control);
    EXPECT_EQ(result.type, c.type);
    EXPECT_EQ(result.pollFinal, c.pollFinal);
    EXPECT_EQ(result.ns, c.ns);
    EXPECT_EQ(result.nr, c.nr);
    EXPECT_EQ(capture.Messages(),
              std::vector<std::string>{Cat("{L2} <KissCtl> ", c.logged, " Frame Detected ")});
  }
}

TEST(KissCtl, ClassificationIsLevelFive) {
  LogCapture capture(4);
  KissCtl(capture.log, 0x3F);
  EXPECT_TRUE(capture.lines.empty());
}

TEST(KissHeader, WithoutPathPositionPointsAtByteSixteen) {
  LogCapture capture;
  std::string frame = AddressField("APRS", "NOCALL-1") + "\x03\xF0" "hi";
  std::size_t position = 1;
  std::string source, destination, via = "stale";
  EXPECT_TRUE(KissHeader(capture.log, kEnginePort, frame, position, source, destination, via));
  EXPECT_EQ(position, 16u);
  EXPECT_EQ(source, "NOCALL-1");
  EXPECT_EQ(destination, "APRS");
  EXPECT_EQ(via, "");
}

TEST(KissHeader, ShortFramesAreNotLookedAt) {
  LogCapture capture;
  std::string frame = AddressField("APRS", "NOCALL-1");  // 15 bytes
  std::size_t position = 1;
  std::string source, destination, via;
  EXPECT_FALSE(KissHeader(capture.log, kEnginePort, frame, position, source, destination, via));
  EXPECT_EQ(position, 1u);
  EXPECT_EQ(source, "");
  EXPECT_EQ(destination, "");
}

TEST(KissDecode, UiFrameWithoutPath) {
  LogCapture capture;
  std::string frame = AddressField("APRS", "NOCALL-1") + "\x03\xF0" "hello\x00\xFF"s;
  KissFrame f = KissDecode(capture.log, kEnginePort, frame);
  EXPECT_EQ(f.source, "NOCALL-1");
  EXPECT_EQ(f.destination, "APRS");
  EXPECT_EQ(f.via, "");
  EXPECT_EQ(f.type, "UI");
  EXPECT_FALSE(f.pollFinal);
  EXPECT_EQ(f.pid, 0xF0);
  EXPECT_EQ(f.info, "hello\x00\xFF"s);
  EXPECT_EQ(f.infoLength, 7u);
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Returned N(16) From(NOCALL-1) To(APRS) VIA()"));
}

TEST(KissDecode, TwoDigipeatersTheSecondLast) {
  LogCapture capture;
  std::string frame = AddressField("APRS", "NOCALL-1", {"RELAY", "WIDE2-2"}) + "\x13\xCF" "x";
  KissFrame f = KissDecode(capture.log, kEnginePort, frame);
  EXPECT_EQ(f.via, "RELAY,WIDE2-2");
  EXPECT_EQ(f.type, "UI");
  EXPECT_TRUE(f.pollFinal);
  EXPECT_EQ(f.pid, 0xCF);
  EXPECT_EQ(f.info, "x");
  EXPECT_EQ(capture.Messages(),
            (std::vector<std::string>{
                "{L2} Frame Digipeater(RELAY)",
                "{L2} Frame Digipeater(WIDE2-2)",
                "{L2} Last Call of the Frame, abandon",
                "{L2} <KissDecode> Returned N(30) From(NOCALL-1) To(APRS) VIA(RELAY,WIDE2-2)",
                "{L2} <KissCtl> U Frame Detected ",
            }));
}

TEST(KissDecode, IFrameGivesSequenceNumbersPidAndInformation) {
  LogCapture capture;
  std::string frame = AddressField("NOBODY-2", "NOCALL-1", {"RELAY"}) + "\x9E\xF0" "data\r";
  KissFrame f = KissDecode(capture.log, kEnginePort, frame);
  EXPECT_EQ(f.type, "I");
  EXPECT_EQ(f.ns, 7);
  EXPECT_EQ(f.nr, 4);
  EXPECT_TRUE(f.pollFinal);
  EXPECT_EQ(f.pid, 0xF0);
  EXPECT_EQ(f.info, "data\r");
  EXPECT_EQ(f.infoLength, 5u);
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> I Frame Detected "));
  EXPECT_TRUE(capture.Logged("{L2} Info Buffer decoded Len(5)"));
}

TEST(KissDecode, IFrameEndingAfterItsControlByteIsCorruptedAndUntyped) {
  LogCapture capture;
  KissFrame f = KissDecode(capture.log, kEnginePort, AddressField("B", "A") + "\x9E");
  EXPECT_EQ(f.type, "");
  EXPECT_EQ(f.pid, 0);
  EXPECT_EQ(f.info, "");
  EXPECT_EQ(f.ns, 7);  // what was decoded before the end stays
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Frame corrupted - too short "));
}

TEST(KissDecode, IFrameEndingAfterItsPidIsCorruptedAndUntyped) {
  LogCapture capture;
  KissFrame f = KissDecode(capture.log, kEnginePort, AddressField("B", "A") + "\x00\xF0"s);
  EXPECT_EQ(f.type, "");
  EXPECT_EQ(f.pid, 0xF0);
  EXPECT_EQ(f.infoLength, 0u);
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Frame corrupted - too short "));
}

TEST(KissDecode, UiFrameEndingEarlyIsCorruptedButKeepsItsType) {
  LogCapture capture;
  KissFrame f = KissDecode(capture.log, kEnginePort, AddressField("B", "A") + "\x03");
  EXPECT_EQ(f.type, "UI");
  EXPECT_EQ(f.info, "");
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Frame corrupted - too short "));
}

TEST(KissDecode, SupervisoryAndUnnumberedFramesCarryNoPidOrInformation) {
  LogCapture capture;
  KissFrame rr = KissDecode(capture.log, kEnginePort, AddressField("B", "A") + "\xB1" "extra");
  EXPECT_EQ(rr.type, "RR");
  EXPECT_EQ(rr.nr, 5);
  EXPECT_EQ(rr.pid, 0);
  EXPECT_EQ(rr.info, "");
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> S Frame Detected "));

  capture.lines.clear();
  KissFrame sabm = KissDecode(capture.log, kEnginePort, AddressField("B", "A") + "\x3F\xF0");
  EXPECT_EQ(sabm.type, "SABM");
  EXPECT_TRUE(sabm.pollFinal);
  EXPECT_EQ(sabm.pid, 0);
  EXPECT_EQ(sabm.info, "");
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> U Frame Detected "));
}

TEST(KissDecode, FrameOfFifteenBytesOrFewerDecodesNothing) {
  for (std::size_t n : {0u, 1u, 8u, 15u}) {
    SCOPED_TRACE(n);
    LogCapture capture;
    std::string frame = (AddressField("B", "A") + "\x03\xF0xyz").substr(0, n);
    KissFrame f = KissDecode(capture.log, kEnginePort, frame);
    EXPECT_EQ(f.source, "");
    EXPECT_EQ(f.destination, "");
    EXPECT_EQ(f.type, "");
    EXPECT_EQ(f.info, "");
    EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Frame corrupted - too short "));
  }
}

TEST(KissDecode, AnnouncedPathTooShortIsReportedAndDiscarded) {
  LogCapture capture;
  // Source without the extension bit, then only six bytes.
  std::string frame = "\x00"s + Address("APRS") + Address("NOCALL-1") + "\x03\xF0" "abcd";
  KissFrame f = KissDecode(capture.log, 8001, frame);
  EXPECT_EQ(f.source, "NOCALL-1");
  EXPECT_EQ(f.destination, "APRS");
  EXPECT_EQ(f.type, "");
  EXPECT_EQ(f.info, "");
  EXPECT_TRUE(capture.Logged("{L2} ERROR Frame too short Port(8001) From(NOCALL-1) To(APRS) ,discarded"));
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Frame corrupted - too short "));
}

TEST(KissDecode, PathThatNeverEndsIsNotReadAsControlByte) {
  LogCapture capture;
  // One digipeater without the extension bit and fewer than seven bytes after it.
  std::string frame = "\x00"s + Address("APRS") + Address("NOCALL-1") + Address("RELAY") + "\x03\xF0" "ab";
  KissFrame f = KissDecode(capture.log, kEnginePort, frame);
  EXPECT_EQ(f.via, "RELAY");
  EXPECT_EQ(f.type, "");
  EXPECT_TRUE(capture.Logged("{L2} Frame Processed Completed without processing"));
  EXPECT_TRUE(capture.Logged("{L2} <KissDecode> Frame corrupted - too short "));
}

TEST(KissDecode, WithLoggingOffNothingIsWritten) {
  LogCapture capture;
  capture.log.SetSwitch("NOT");
  KissFrame f = KissDecode(capture.log, kEnginePort, AddressField("B", "A") + "\x9E");
  EXPECT_EQ(f.source, "A");
  EXPECT_TRUE(capture.lines.empty());
}

// Checks what must hold for any input: outputs come from inside the frame.
void ExpectSane(const LogCapture& capture, const std::string& frame, const KissFrame& f) {
  static const std::set<std::string> kTypes = {"",  "I",    "RR",   "RNR", "REJ", "UI",
                                               "DM", "SABM", "DISC", "UA",  "FRMR"};
  EXPECT_TRUE(kTypes.count(f.type)) << f.type;
  EXPECT_EQ(f.info.size(), f.infoLength);
  EXPECT_LE(f.info.size(), frame.size());
  EXPECT_EQ(frame.compare(frame.size() - f.info.size(), f.info.size(), f.info), 0);
  if (!f.info.empty()) {
    EXPECT_TRUE(f.type == "I" || f.type == "UI");
  }
  EXPECT_LT(f.ns, 8);
  EXPECT_LT(f.nr, 8);
  EXPECT_LE(f.source.size(), 9u);
  EXPECT_LE(f.destination.size(), 9u);
  if (frame.size() <= 15) {
    EXPECT_TRUE(f.source.empty() && f.destination.empty() && f.type.empty());
  }
  // Calls may hold commas themselves, so count the walked addresses in the log.
  std::size_t digis = 0;
  for (const auto& message : capture.Messages()) {
    if (message.starts_with("{L2} Frame Digipeater(")) ++digis;
  }
  if (digis > 0) {
    EXPECT_LE(15 + 7 * digis, frame.size()) << "more addresses than bytes";
  }
  EXPECT_LE(f.via.size(), 10 * digis);
}

TEST(KissDecode, RandomFramesOfEveryLengthUpToFortyStayInBounds) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  LogCapture capture;
  for (std::size_t length = 0; length <= 40; ++length) {
    for (int round = 0; round < 500; ++round) {
      std::string frame(length, '\0');
      for (char& ch : frame) ch = static_cast<char>(byte(random));
      // Every other round, clear the extension bits so that paths are walked.
      if (round % 2 == 0) {
        for (std::size_t at = 14; at < frame.size(); at += 7) {
          if (byte(random) < 200) frame[at] = static_cast<char>(frame[at] & 0xFE);
        }
      }
      capture.lines.clear();
      KissFrame f = KissDecode(capture.log, kEnginePort, frame);
      ExpectSane(capture, frame, f);
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "length " << length << " round " << round;
        return;
      }
    }
  }
}

}  // namespace
}  // namespace tw
