#include "job_gate.h"

#include "printer_data.h"

namespace {

// How long a printer waits after a job streamed on a client's connection:
// the connection's thread is done with the job within a millisecond, but
// ends only when the client closes it.
constexpr time_t kStreamedSeconds = 2;

// The gate this thread opens when it ends, or when it closes another (a
// client's connection that streams one job after another).
struct PendingOpen {
  JobGate *gate = nullptr;
  pappl_system_t *system = nullptr;
  int printerId = 0;
  unsigned generation = 0;

  void OpenNow() {
    if (gate)
      gate->Open(system, printerId, generation);
    gate = nullptr;
  }
  ~PendingOpen() { OpenNow(); }
};
thread_local PendingOpen ThreadGate; // Opened when this thread ends

} // namespace

void JobGate::Close(pappl_job_t *job) {
  pappl_printer_t *printer = papplJobGetPrinter(job);
  // A printer an administrator stopped from taking jobs stays so.
  if (!papplPrinterIsAcceptingJobs(printer))
    return;
  const int id = papplPrinterGetID(printer);
  unsigned generation;
  {
    std::lock_guard lock(mutex_);
    generation = ++generation_;
    closed_[id] = {generation, 0};
  }
  papplPrinterDisable(printer);
  ThreadGate.OpenNow();
  ThreadGate.gate = this;
  ThreadGate.system = papplPrinterGetSystem(printer);
  ThreadGate.printerId = id;
  ThreadGate.generation = generation;
}

void JobGate::Ending(pappl_job_t *job) {
  // A job streamed on a client's connection has no file of its own.
  if (papplJobGetFilename(job))
    return;
  std::lock_guard lock(mutex_);
  auto found = closed_.find(papplPrinterGetID(papplJobGetPrinter(job)));
  if (found != closed_.end())
    found->second.openBy = time(nullptr) + kStreamedSeconds;
}

void JobGate::Open(pappl_system_t *system, int printerId, unsigned generation) {
  {
    std::lock_guard lock(mutex_);
    auto found = closed_.find(printerId);
    if (found == closed_.end() || found->second.generation != generation)
      return;
    closed_.erase(found);
  }
  if (pappl_printer_t *printer = papplSystemFindPrinter(system, nullptr, printerId, nullptr))
    papplPrinterEnable(printer);
}

void JobGate::OpenLate(pappl_system_t *system) {
  std::map<int, Closed> late;
  {
    std::lock_guard lock(mutex_);
    const time_t now = time(nullptr);
    for (const auto &[id, closed] : closed_)
      if (closed.openBy && closed.openBy <= now)
        late.emplace(id, closed);
  }
  for (const auto &[id, closed] : late)
    Open(system, id, closed.generation);
}

// 'GateOf()' - The gate of the job's printer, if it has one.
static JobGate *GateOf(pappl_job_t *job) {
  PrinterData *data = PrinterDataOf(papplJobGetPrinter(job));
  return data ? data->gate : nullptr;
}

void CloseJobGate(pappl_job_t *job) {
  if (JobGate *gate = GateOf(job))
    gate->Close(job);
}

void JobGateEnding(pappl_job_t *job) {
  if (JobGate *gate = GateOf(job))
    gate->Ending(job);
}

bool OpenLateGates(pappl_system_t *system, void *gate) {
  static_cast<JobGate *>(gate)->OpenLate(system);
  return true;
}
