#include "bridge/stream_table.h"

namespace tw {

int StreamTable::Holding(std::int32_t chanid) const {
  if (chanid == 0) return 0;
  for (int s = 1; s <= kStreamCount; ++s) {
    if ((*this)[s].chanid == chanid) return s;
  }
  return 0;
}

int StreamTable::FirstFree() const {
  for (int s = 1; s <= kStreamCount; ++s) {
    if ((*this)[s].strmstate == StreamState::Disconnected) return s;
  }
  return 0;
}

int StreamTable::FirstBusy() const {
  for (int s = 1; s <= kStreamCount; ++s) {
    if ((*this)[s].strmstate != StreamState::Disconnected) return s;
  }
  return 0;
}

int StreamTable::Number(std::string_view letter) {
  if (letter == "0") return 0;
  if (letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'J') return letter[0] - 'A' + 1;
  return -1;
}

}  // namespace tw
