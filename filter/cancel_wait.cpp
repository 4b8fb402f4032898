#include "cancel_wait.h"

#include "filter_globals.h"

#include <cerrno>
#include <csignal>

bool WaitUnlessCanceled(pollfd fd, const timespec &afterCancel) {
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigprocmask(SIG_BLOCK, &term, &old);
  int ready;
  do
    ready = ppoll(&fd, 1, Canceled ? &afterCancel : nullptr, &old);
  while (ready < 0 && errno == EINTR);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return ready != 0;
}
