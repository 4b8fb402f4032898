#include "printer_output.h"

#include "cancel_wait.h"
#include "job_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How long a printer that has stopped reading is waited for once the job is
// canceled: then nothing more it could print is lost.
constexpr timespec kCanceledWait{1, 0};

} // namespace

PrinterOutput::PrinterOutput() {
  // The spooler gives the filter a pipe to the backend. Written without
  // blocking, a backend that stops reading leaves the filter free to wait in
  // ppoll, where a cancel reaches it.
  struct stat st {};
  if (fstat(STDOUT_FILENO, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
    return;
  const int flags = fcntl(STDOUT_FILENO, F_GETFL);
  if (flags >= 0 && !(flags & O_NONBLOCK) && fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK) == 0)
    restoreFlags_ = flags;
}

PrinterOutput::~PrinterOutput() {
  if (restoreFlags_ >= 0)
    fcntl(STDOUT_FILENO, F_SETFL, restoreFlags_);
}

bool WritePrinterData(std::span<const uint8_t> bytes, const volatile sig_atomic_t &canceled) {
  // The printer may keep us waiting: let the job log show everything first.
  fflush(stderr);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Once the job is canceled, a printer that takes nothing for a second
      // is given up.
      if (!WaitUnlessCanceled({STDOUT_FILENO, POLLOUT, 0}, kCanceledWait, canceled)) {
        LogLine(LogLevel::Failure, "The printer stopped taking data after the job was canceled; "
                                   "the rest of the job was not sent.\n");
        return false;
      }
      continue;
    }
    if (n <= 0) {
      LogLine(LogLevel::Failure, "Unable to send print data to the printer: %s\n",
              n < 0 ? strerror(errno) : "nothing written");
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}
