#include "job_end.h"

#include "command_stream.h"

bool EndJob(const JobSettings &settings, const EngineSink &sink) {
  if (settings.cutting != Cutting::EndOfJob)
    return true;
  return sink.print(kCutCommand);
}
