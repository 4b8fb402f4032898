// The engine's results as the CUPS filter hands them on: log lines to
// standard error, each behind the prefix of its level, the printer's bytes
// to standard output, the dumps to their fixed files under /tmp.
#pragma once

#include "engine_sink.h"

#include <csignal>

// 'FilterSink()' - The sink of a filter process, whose SIGTERM handler sets
// 'canceled' when the job is canceled.
EngineSink FilterSink(const volatile sig_atomic_t &canceled);
