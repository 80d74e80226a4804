#include "tools/hostmode_client/host_block.h"

#include <algorithm>

namespace tw::hostmode {

Bytes EscapeData(std::string_view data) {
  Bytes out;
  out.reserve(data.size() + data.size() / 8);
  for (char byte : data) {
    if (byte == kFend) {
      out.push_back(kFesc);
      out.push_back(kTfend);
    } else if (byte == kFesc) {
      out.push_back(kFesc);
      out.push_back(kTfesc);
    } else {
      out.push_back(byte);
    }
  }
  return out;
}

Bytes UnescapeData(std::string_view escaped) {
  Bytes out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != kFesc) {
      out.push_back(escaped[i]);
      continue;
    }
    if (++i == escaped.size()) break;
    char next = escaped[i];
    out.push_back(next == kTfend ? kFend : next == kTfesc ? kFesc : next);
  }
  return out;
}

Bytes EncodeBlock(char kind, char port, char stream, std::string_view text) {
  Bytes block;
  block.reserve(text.size() + 5);
  block.push_back(kFend);
  block.push_back(kind);
  block.push_back(port);
  block.push_back(stream);
  block.append(kind == 'D' ? EscapeData(text) : Bytes(text));
  block.push_back(kFend);
  return block;
}

Bytes EncodeGlobal(char what) { return Bytes{kFend, what, kFend}; }

HostBlock SplitBlock(std::string_view inner) {
  HostBlock block;
  block.fields = std::min<std::size_t>(inner.size(), 3);
  if (inner.size() > 0) block.kind = inner[0];
  if (inner.size() > 1) block.port = inner[1];
  if (inner.size() > 2) block.stream = inner[2];
  if (inner.size() > 3) {
    std::string_view text = inner.substr(3);
    block.text = block.kind == 'D' ? UnescapeData(text) : Bytes(text);
  }
  return block;
}

}  // namespace tw::hostmode
