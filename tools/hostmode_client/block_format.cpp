#include "tools/hostmode_client/block_format.h"

#include "platform/text/text.h"

namespace tw::hostmode {

namespace {

bool IsPlain(unsigned char byte) { return byte >= 0x20 && byte < 0x7F && byte != '\\'; }

void AppendPrintable(std::string& out, char ch) {
  auto byte = static_cast<unsigned char>(ch);
  if (IsPlain(byte)) {
    out.push_back(ch);
  } else {
    out.append("\\x").append(HexByte(byte));
  }
}

// `label` then the bytes; after a CR or LF that more bytes follow, a new
// line indented to the width of the label.
std::string Labelled(std::string_view label, std::string_view bytes) {
  std::string out(label);
  std::string indent(label.size(), ' ');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    AppendPrintable(out, bytes[i]);
    bool lineEnd = bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
    if (lineEnd && i + 1 < bytes.size()) out.append("\n").append(indent);
  }
  return out;
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) AppendPrintable(out, ch);
  return out;
}

std::string FormatBlock(const HostBlock& block) {
  std::string head = "[";
  const char fields[] = {block.kind, block.port, block.stream};
  for (std::size_t i = 0; i < block.fields && i < 3; ++i) AppendPrintable(head, fields[i]);
  head.append("]");
  if (block.kind == 'D') {
    // Data stays on one line: line breaks inside binary data would mislead.
    return Cat(head, " ", block.text.size(), " bytes: ", Printable(block.text));
  }
  if (block.text.empty()) return head;
  return Labelled(head + " ", block.text);
}

std::string FormatReceived(const Received& item, std::size_t maxBlock) {
  switch (item.kind) {
    case Received::Kind::Block:
      return FormatBlock(item.block);
    case Received::Kind::Text:
      return Labelled("[text] ", item.text);
    case Received::Kind::Overflow:
      break;
  }
  return Cat("[dropped] a block longer than ", maxBlock, " bytes");
}

}  // namespace tw::hostmode
