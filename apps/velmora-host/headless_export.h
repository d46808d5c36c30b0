#pragma once
// velmora-host --export: the add-in's command performed without a window
// or Tarvik, its service driven from here by Tarvik's own client code.
#include "arguments.h"

namespace velmora::host {

// 0 when the file was written; 1 when the export failed (no file left);
// 2 when the model or the EMC configuration cannot be read.
int run_export(const Arguments& a);

}  // namespace velmora::host
