#include "platform/loop/client_line.h"

#include <algorithm>

namespace tw {

namespace {

struct FlowNames {
  SerialFlow flow;
  std::string_view word;
  std::string_view text;
};

constexpr FlowNames kFlows[] = {
#define TW_FLOW_ROW(name, word, text) {SerialFlow::name, word, text},
    TW_SERIAL_FLOWS(TW_FLOW_ROW)
#undef TW_FLOW_ROW
};

const FlowNames& Names(SerialFlow flow) {
  for (const FlowNames& names : kFlows) {
    if (names.flow == flow) return names;
  }
  return kFlows[0];
}

}  // namespace

std::optional<SerialFlow> SerialFlowFromWord(std::string_view word) {
  for (const FlowNames& names : kFlows) {
    if (names.word == word) return names.flow;
  }
  return std::nullopt;
}

std::string_view SerialFlowWord(SerialFlow flow) { return Names(flow).word; }

std::string_view SerialFlowText(SerialFlow flow) { return Names(flow).text; }

bool IsSerialBaud(unsigned baud) {
  return std::find(kSerialBauds.begin(), kSerialBauds.end(), baud) != kSerialBauds.end();
}

}  // namespace tw
