// What tw-hostmode-client does once its options are read, apart from where
// its lines come from: connects, plays the dialogue, carries out each line
// and prints every block as it arrives.
#pragma once

#include <ostream>

#include "tools/hostmode_client/client_options.h"
#include "tools/hostmode_client/line_queue.h"

namespace tw::hostmode {

// Received blocks and what is sent go to `out`, failures to `err`. Returns
// the exit status: 0 after quit, the end of the lines, or the bridge
// closing; 1 when the bridge cannot be reached or does not enter host mode.
int RunClient(const ClientOptions& options, LineQueue& lines, std::ostream& out, std::ostream& err);

}  // namespace tw::hostmode
