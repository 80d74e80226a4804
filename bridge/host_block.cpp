#include "bridge/host_block.h"

#include <algorithm>

namespace tw {

HostBlock splitblock(std::string_view block) {
  HostBlock out;
  out.rawblock = std::string(block);
  // Inner bytes: everything between the two FENDs.
  const std::string_view inner = block.size() >= 2 ? block.substr(1, block.size() - 2) : std::string_view();
  if (inner.size() >= 1) out.kind = inner[0];
  if (inner.size() >= 2) out.port = inner[1];
  if (inner.size() >= 3) out.stream = inner[2];
  if (inner.size() >= 4) out.blkdata = std::string(inner.substr(3));
  return out;
}

// Runs without FEND or FESC are copied whole: most data has none. Each of the
// two bytes is looked for with its own search, which scans many bytes at a
// time, and the search for the other is kept until it is passed.
void AppendEscaped(std::string& out, std::string_view data) {
  constexpr auto npos = std::string_view::npos;
  std::size_t at = 0;
  std::size_t fend = data.find(FEND);
  std::size_t fesc = data.find(FESC);
  while (true) {
    const std::size_t end = std::min(fend, fesc);
    if (end == npos) break;
    out.append(data.substr(at, end - at));
    out += FESC;
    out += end == fend ? TFEND : TFESC;
    at = end + 1;
    if (end == fend) {
      fend = data.find(FEND, at);
    } else {
      fesc = data.find(FESC, at);
    }
  }
  out.append(data.substr(at));
}

std::string AX25toKAM(std::string_view data) {
  std::string out;
  out.reserve(data.size() + data.size() / 8);
  AppendEscaped(out, data);
  return out;
}

std::string KAMtoAX25(std::string_view data) {
  std::string out;
  out.reserve(data.size());
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t escape = data.find(FESC, at);
    const std::size_t end = escape == std::string_view::npos ? data.size() : escape;
    out.append(data.substr(at, end - at));
    if (end + 1 >= data.size()) break;  // no escape, or one with nothing after it
    const char next = data[end + 1];
    out += next == TFEND ? FEND : next == TFESC ? FESC : next;
    at = end + 2;
  }
  return out;
}

}  // namespace tw
