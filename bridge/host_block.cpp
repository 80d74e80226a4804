#include "bridge/host_block.h"

namespace tw {

HostBlock splitblock(std::string_view block) {
  HostBlock out;
  out.rawblock = std::string(block);
  // Inner bytes: everything between the two FENDs.
  const std::string_view inner = block.size() >= 2 ? block.substr(1, block.size() - 2) : std::string_view();
  if (inner.size() >= 1) out.blkkind = std::string(inner.substr(0, 1));
  if (inner.size() >= 2) out.blkport = std::string(inner.substr(1, 1));
  if (inner.size() >= 3) out.blkstream = std::string(inner.substr(2, 1));
  if (inner.size() >= 4) out.blkdata = std::string(inner.substr(3));
  return out;
}

std::string AX25toKAM(std::string_view data) {
  std::string out;
  out.reserve(data.size() + data.size() / 8);
  for (char byte : data) {
    if (byte == FEND) {
      out += FESC;
      out += TFEND;
    } else if (byte == FESC) {
      out += FESC;
      out += TFESC;
    } else {
      out += byte;
    }
  }
  return out;
}

std::string KAMtoAX25(std::string_view data) {
  std::string out;
  out.reserve(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] != FESC) {
      out += data[i];
      continue;
    }
    if (i + 1 == data.size()) break;
    const char next = data[++i];
    if (next == TFEND) {
      out += FEND;
    } else if (next == TFESC) {
      out += FESC;
    } else {
      out += next;
    }
  }
  return out;
}

}  // namespace tw
