// Waiting for the spooler's pipes in a way that a cancel always ends.
#pragma once

#include <csignal>
#include <poll.h>
#include <time.h>

// 'WaitUnlessCanceled()' - Wait until 'fd' is ready for its events (or has
// an error for read() or write() to tell); once the job is canceled (the
// SIGTERM handler set 'canceled'), wait no longer than 'afterCancel'.
// SIGTERM is blocked but while ppoll waits, so a cancel that comes just
// before the wait is seen, and ppoll ends on it whatever SA_RESTART says.
// False when the wait ran out.
bool WaitUnlessCanceled(pollfd fd, const timespec &afterCancel,
                        const volatile sig_atomic_t &canceled);
