// No new job on a printer while PAPPL finishes the last one. PAPPL 1.3 lets
// a printer take its next job as soon as the last one is off its list of
// active jobs, and only then closes the last job's device and looks for
// jobs to start: a job that comes in between is handed a device that is
// closed under it, or is started twice. PAPPL asks whether a printer takes
// jobs as a request comes in, long before it adds the job; so from the
// start of each job the printer takes no new jobs (a client is told
// server-error-not-accepting-jobs and sends again, as to
// server-error-busy) until the thread that ran the job is done with it: a
// spooled job's thread ends with the job; a job streamed on a client's
// connection is given a second or two after its end.
#pragma once

#include <pappl/pappl.h>

#include <ctime>
#include <map>
#include <mutex>

class JobGate {
public:
  // 'Close()' - At the start of 'job', on the thread that runs it.
  void Close(pappl_job_t *job);
  // 'Ending()' - At the end of 'job', on the thread that runs it.
  void Ending(pappl_job_t *job);
  // 'Open()' - The printer takes jobs again, unless a later job closed its
  // gate since 'generation'.
  void Open(pappl_system_t *system, int printerId, unsigned generation);
  // 'OpenLate()' - Open the gates of streamed jobs whose time is up.
  void OpenLate(pappl_system_t *system);

private:
  struct Closed {
    unsigned generation;
    time_t openBy; // for a streamed job that has ended, else 0
  };
  std::mutex mutex_;
  std::map<int, Closed> closed_; // by printer id
  unsigned generation_ = 0;
};

// 'CloseJobGate()' - Close the gate of the job's printer at the job's start,
// when the printer has one (the printers of the server do, see
// LabelDriverCallback()).
void CloseJobGate(pappl_job_t *job);
// 'JobGateEnding()' - The job's end, for a job streamed on a connection.
void JobGateEnding(pappl_job_t *job);

// 'OpenLateGates()' - A timer of the system's, once a second.
bool OpenLateGates(pappl_system_t *system, void *gate);
