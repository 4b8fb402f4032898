#include "cancel_wait.h"

#include <cerrno>

bool WaitUnlessCanceled(pollfd fd, const timespec &afterCancel,
                        const volatile sig_atomic_t &canceled) {
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigprocmask(SIG_BLOCK, &term, &old);
  int ready;
  do
    ready = ppoll(&fd, 1, canceled ? &afterCancel : nullptr, &old);
  while (ready < 0 && errno == EINTR);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return ready != 0;
}
