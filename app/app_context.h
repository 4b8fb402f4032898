// What the server keeps while it runs: made in main() and handed to PAPPL's
// callbacks as their data.
#pragma once

#include "job_gate.h"

#include <string>

struct AppContext {
  std::string stateFile;  // where the printers and their defaults are kept
  JobGate gate;           // no new job while the last one is finished
  std::string webStrings; // the web page's names for the printer's settings and media
};
