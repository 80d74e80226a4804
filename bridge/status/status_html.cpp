#include "bridge/status/status_html.h"

#include "bridge/status/status_text.h"
#include "platform/text/text.h"

namespace tw {

std::string HtmlText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (b >= 0x20 && b < 0x7F) {
          out += c;
        } else {
          out += "\\x";
          out += kHex[b >> 4];
          out += kHex[b & 0x0F];
        }
    }
  }
  return out;
}

namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:1em}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #999;padding:2px 8px;text-align:left}"
    "td.n{text-align:right}"
    "tr.connected{background:#dfd}tr.connecting,tr.disconnecting{background:#ffd}"
    "pre{background:#f4f4f4;padding:4px;overflow-x:auto}";

}  // namespace

std::string StatusHtml(const StatusSnapshot& snapshot, std::string_view version) {
  const std::string title =
      "Tidewire " + HtmlText(version) + (snapshot.myCall.empty() ? "" : " " + HtmlText(snapshot.myCall));
  std::string page = Cat("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">",
                         "<meta http-equiv=\"refresh\" content=\"", kStatusPageRefreshSeconds, "\">",
                         "<title>", title, "</title><style>", kStyle, "</style></head>\n<body>\n");
  page += "<h1>" + title + "</h1>\n";
  page += "<p id=\"engine\">" + HtmlText(EngineLine(snapshot.engine)) + "</p>\n";
  page += "<p id=\"client\">" + HtmlText(ClientStatusLine(snapshot.client)) + "</p>\n";
  page += "<table id=\"streams\">\n<thead><tr>";
  for (const StreamColumn& column : kStreamColumns) page += Cat("<th>", column.heading, "</th>");
  page += "</tr></thead>\n<tbody>\n";
  for (std::size_t i = 0; i < snapshot.streams.size(); ++i) {
    const StreamCells cells = StreamRow(i, snapshot.streams[i]);
    page += Cat("<tr id=\"stream-", cells[0], "\" class=\"", cells[1], "\">");
    for (std::size_t c = 0; c < cells.size(); ++c) {
      page += kStreamColumns[c].numeric ? "<td class=\"n\">" : "<td>";
      page += HtmlText(cells[c]) + "</td>";
    }
    page += "</tr>\n";
  }
  page += "</tbody></table>\n";
  page += Cat("<h2>Log (last ", snapshot.log.size(), " lines)</h2>\n<pre id=\"log\">");
  for (const std::string& line : snapshot.log) page += HtmlText(line) + "\n";
  page += "</pre>\n<p><a href=\"/status.json\">status.json</a></p>\n</body></html>\n";
  return page;
}

}  // namespace tw
