// Holds the one control the program uses: created by its ProgID through the
// COM runtime (from the registry, or side by side from the library beside
// the program), with the events sink connected to its connection point.
// Lives on the apartment thread that created it.
#pragma once

#include <string>

#include "platform/com/twcom.hpp"

namespace tw {

class ControlHost {
 public:
  ControlHost() = default;
  ~ControlHost() { Release(); }
  ControlHost(const ControlHost&) = delete;
  ControlHost& operator=(const ControlHost&) = delete;

  // Creates the control and connects `sink` to its events. Returns why not
  // (for the user), or the empty text on success.
  std::string Create(IDispatch* sink);

  IDispatch* Dispatch() const { return control_.Get(); }

  // The library's path when it was found side by side (not registered);
  // empty when it came from the registry.
  const std::string& SideBySideLibrary() const { return sideBySide_; }
  // The library's path when the registry named it; empty otherwise.
  const std::string& RegisteredLibrary() const { return registered_; }

  // Disconnects the sink and lets go of the control.
  void Release();

 private:
  com::ComPtr<IDispatch> control_;
  com::ComPtr<IConnectionPoint> events_;
  DWORD cookie_ = 0;
  std::string sideBySide_;
  std::string registered_;
};

}  // namespace tw
