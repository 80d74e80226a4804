// The bridge's view of the control, made of IDispatch::Invoke calls by
// dispatch id: the program never sees the control's classes or its dual
// interface, only the ids of the members the bridge uses. Byte strings
// cross as BSTRs by the runtime's byte mapping (byte b is U+00b), so every
// byte 0-255 arrives unchanged.
//
// A call the control refuses (a failing HRESULT, a result of the wrong
// type) is reported through `failed` and reads as the control's own
// refusal: 0, false, an empty text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/bridge_control.h"
#include "platform/com/twcom.hpp"

namespace tw {

class DispatchControl final : public BridgeControl {
 public:
  using FailureLog = std::function<void(std::string_view line)>;

  // Holds a reference to `control` for its life. Every call must come from
  // the apartment thread the control was created on.
  DispatchControl(IDispatch* control, FailureLog failed);

  void SetPort(int port) override;
  void SetAddress(const std::string& address) override;
  void SetEnabled(bool enabled) override;
  void SetActive(bool active) override;
  void SetAX25(bool on) override;
  std::string VOKVersion() override;
  int PortMax() override;
  std::vector<std::string> PortNames() override;
  void VOKRegister(const std::string& callSign) override;
  void VOKUnRegister(const std::string& callSign) override;
  std::int32_t AX25Connect(int port, const std::string& from, const std::string& to,
                           const std::string& via) override;
  bool AX25Disconnect(std::int32_t channelId) override;
  bool AX25Send(std::int32_t channelId, const std::string& data) override;
  bool AX25Info(std::int32_t channelId, LinkInfo& info) override;
  bool AX25Outstanding(std::int32_t channelId, std::int32_t& frames, std::int32_t& bytes) override;

 private:
  void Report(const char* member, HRESULT hr);

  com::ComPtr<IDispatch> control_;
  FailureLog failed_;
};

}  // namespace tw
