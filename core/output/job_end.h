// The end of a job on the printer, after its last page.
#pragma once

#include "engine_sink.h"
#include "settings.h"

// 'EndJob()' - Finish the job: with "Cutting" "2" the paper is cut once,
// after the last page. The front end calls it at the end of every job it
// has not given up on, one canceled or without pages too. False when the
// printer takes no more.
bool EndJob(const JobSettings &settings, const EngineSink &sink);
