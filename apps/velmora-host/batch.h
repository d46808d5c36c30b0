#pragma once
// velmora-host --export-dir: a batch of headless exports.
#include "arguments.h"

namespace velmora::host {

// Each model exported by a velmora-host process of its own (no state
// shared, so one model's failure or crash spoils no other), `jobs` at a
// time; one line per model as it ends. 0 when every model was exported, 1
// when any failed, 128 + the signal when SIGTERM, SIGINT or SIGHUP stopped
// the batch (passed on to the running exports, each reported cancelled).
int run_batch(const Arguments& a);

}  // namespace velmora::host
