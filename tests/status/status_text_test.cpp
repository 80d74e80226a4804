// The snapshot as JSON and as the status page: every byte a call or a log
// line may hold comes out valid and escaped.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bridge/status/status_html.h"
#include "bridge/status/status_json.h"
#include "bridge/status/status_text.h"

namespace tw {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// UTF-8 of code points below 256 back to one byte each; fails on others.
std::string Latin1(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += utf8[i];
    } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      ADD_FAILURE() << "not a code point below 256 at " << i;
    }
  }
  return out;
}

StatusSnapshot TwoLinks() {
  StatusSnapshot s;
  s.myCall = "N0CALL";
  s.streams[0] = {StreamState::Connected, "ECHO", "", 1, 39, 40, 2};
  s.streams[1] = {StreamState::Connecting, "N0REM-7", "W1AW,N0DIG", 3, 0, 0, 0};
  s.engine = {"127.0.0.1", 8000, true, "2005.127", 2};
  s.client = {true, "127.0.0.1:40312", true, "0.0.0.0", 8200};
  s.log = {"EVENT: PE is ready", "accept winsock connection from client"};
  return s;
}

TEST(StatusJson, HoldsEveryFieldOfTheSnapshot) {
  const nlohmann::json doc = nlohmann::json::parse(StatusJson(TwoLinks(), "0.1.0"));
  EXPECT_EQ(doc["version"], "0.1.0");
  EXPECT_EQ(doc["mycall"], "N0CALL");
  ASSERT_EQ(doc["streams"].size(), 10u);
  const struct {
    std::size_t index;
    const char* key;
    nlohmann::json value;
  } cells[] = {
      {0, "stream", "A"},          {0, "state", "connected"},  {0, "remote", "ECHO"},
      {0, "radio_port", 1},        {0, "bytes_sent", 39},      {0, "bytes_received", 40},
      {0, "unsent_frames", 2},      {0, "via", ""},             {1, "stream", "B"},
      {1, "state", "connecting"},  {1, "via", "W1AW,N0DIG"},   {9, "stream", "J"},
      {9, "state", "disconnected"}, {9, "remote", ""},          {9, "bytes_sent", 0},
  };
  for (const auto& c : cells) EXPECT_EQ(doc["streams"][c.index][c.key], c.value) << c.index << " " << c.key;
  EXPECT_EQ(doc["engine"],
            (nlohmann::json{{"host", "127.0.0.1"}, {"port", 8000}, {"up", true}, {"version", "2005.127"},
                            {"radio_ports", 2}}));
  EXPECT_EQ(doc["client"], (nlohmann::json{{"connected", true},
                                           {"address", "127.0.0.1:40312"},
                                           {"mode", "host"},
                                           {"listen_address", "0.0.0.0"},
                                           {"listen_port", 8200}}));
  EXPECT_EQ(doc["log"], (nlohmann::json{"EVENT: PE is ready", "accept winsock connection from client"}));
}

// Any byte in any text: the document is ASCII, parses, and gives the bytes
// back as the code points of the same numbers.
TEST(StatusJson, EveryByteInEveryTextIsValidJsonAndComesBack) {
  const std::string all = AllBytes();
  const struct {
    const char* field;
    std::function<void(StatusSnapshot&, const std::string&)> put;
    std::function<nlohmann::json(const nlohmann::json&)> get;
  } texts[] = {
      {"remote", [](StatusSnapshot& s, const std::string& t) { s.streams[3].remote = t; },
       [](const nlohmann::json& d) { return d["streams"][3]["remote"]; }},
      {"via", [](StatusSnapshot& s, const std::string& t) { s.streams[3].via = t; },
       [](const nlohmann::json& d) { return d["streams"][3]["via"]; }},
      {"mycall", [](StatusSnapshot& s, const std::string& t) { s.myCall = t; },
       [](const nlohmann::json& d) { return d["mycall"]; }},
      {"engine version", [](StatusSnapshot& s, const std::string& t) { s.engine.version = t; },
       [](const nlohmann::json& d) { return d["engine"]["version"]; }},
      {"client address", [](StatusSnapshot& s, const std::string& t) { s.client.address = t; },
       [](const nlohmann::json& d) { return d["client"]["address"]; }},
      {"log line", [](StatusSnapshot& s, const std::string& t) { s.log.push_back(t); },
       [](const nlohmann::json& d) { return d["log"].back(); }},
  };
  for (const auto& t : texts) {
    for (const std::string& text : {all, std::string(1, '\0'), std::string("\"\\\x7F\xFF")}) {
      SCOPED_TRACE(t.field);
      StatusSnapshot s = TwoLinks();
      t.put(s, text);
      const std::string json = StatusJson(s, "0.1.0");
      for (const char c : json) {
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int{static_cast<unsigned char>(c)};
      }
      nlohmann::json doc;
      ASSERT_NO_THROW(doc = nlohmann::json::parse(json));
      EXPECT_EQ(Latin1(t.get(doc).get<std::string>()), text);
    }
  }
}

TEST(HtmlText, PrintableTextStaysEntitiesAreEscapedOtherBytesShowTheirNumber) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"N0CALL-1", "N0CALL-1"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a&b \"c\" 'd'", "a&amp;b &quot;c&quot; &#39;d&#39;"},
      {std::string("\0\r\n\t", 4), "\\x00\\x0D\\x0A\\x09"},
      {"\x7F\x80\xC0\xFF", "\\x7F\\x80\\xC0\\xFF"},
      // A log line shows bytes as \xNN already: it stays readable.
      {"ERROR block \\xC0 dropped", "ERROR block \\xC0 dropped"},
  };
  for (const auto& c : cases) EXPECT_EQ(HtmlText(c.in), c.out) << c.in;
  const std::string every = HtmlText(AllBytes());
  for (const char c : every) ASSERT_TRUE(c >= 0x20 && c < 0x7F);
}

TEST(StatusHtml, ThePageShowsTheTableTheEngineTheClientAndTheLogEscaped) {
  StatusSnapshot s = TwoLinks();
  s.streams[2] = {StreamState::Connected, "<b>\xC0", "", 2, 1, 1, 0};
  s.log.push_back("</pre><script>x</script>");
  const std::string page = StatusHtml(s, "0.1.0");
  const char* wanted[] = {
      "<meta http-equiv=\"refresh\" content=\"5\">",
      "<title>Tidewire 0.1.0 N0CALL</title>",
      "<p id=\"engine\">Engine 127.0.0.1:8000: up, version 2005.127, 2 radio ports</p>",
      "<p id=\"client\">Client 127.0.0.1:40312: host mode</p>",
      "<tr id=\"stream-A\" class=\"connected\"><td>A</td><td>connected</td><td>ECHO</td><td class=\"n\">1</td>"
      "<td class=\"n\">39</td><td class=\"n\">40</td><td class=\"n\">2</td></tr>",
      "<td>N0REM-7 via W1AW,N0DIG</td>",
      "<td>&lt;b&gt;\\xC0</td>",
      "<tr id=\"stream-J\" class=\"disconnected\"><td>J</td><td>disconnected</td><td></td>",
      "EVENT: PE is ready\n",
      "&lt;/pre&gt;&lt;script&gt;x&lt;/script&gt;\n</pre>",
  };
  for (const char* w : wanted) EXPECT_NE(page.find(w), std::string::npos) << w;
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
}

TEST(StreamRow, ALinkShowsEveryColumnAFreeStreamOnlyItsLetterAndState) {
  const struct {
    std::size_t index;
    StreamStatus stream;
    StreamCells cells;
  } cases[] = {
      {0, {}, {"A", "disconnected", "", "", "", "", ""}},
      {9, {StreamState::Connected, "ECHO", "", 1, 1234, 5, 3}, {"J", "connected", "ECHO", "1", "1234", "5", "3"}},
      {1, {StreamState::Disconnecting, "N0REM", "W1AW", 2, 0, 0, 0}, {"B", "disconnecting", "N0REM via W1AW", "2", "0", "0", "0"}},
      // The control could not say: the radio port is left blank.
      {2, {StreamState::Connecting, "", "", 0, 0, 0, 0}, {"C", "connecting", "", "", "0", "0", "0"}},
      {3, {StreamState::Connected, "\x01X\\", "", 1, 0, 0, 0}, {"D", "connected", "\\x01X\\x5C", "1", "0", "0", "0"}},
  };
  for (const auto& c : cases) EXPECT_EQ(StreamRow(c.index, c.stream), c.cells) << c.index;
}

}  // namespace
}  // namespace tw
