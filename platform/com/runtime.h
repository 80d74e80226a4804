// What the runtime's parts tell each other (internal, hidden).
#pragma once

namespace tw::com::detail {

// The calling thread is in an apartment that is neither ended nor ending:
// creation may proceed.
bool ApartmentReady();

}  // namespace tw::com::detail
