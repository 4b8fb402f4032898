// measure - run a command once and report what it cost.
//
//   measure [-i IN | -p IN] [-o OUT] [-e ERR] -- COMMAND [ARG...]
//
// Standard input, output and error of the command are redirected to the
// given files (default: /dev/null). With -p the command reads IN through a
// pipe, written by a process of its own as the filter before it in a CUPS
// job would. Prints one line to standard output:
//
//   WALL_US CPU_US MAXRSS_KIB STATUS
//
// wall-clock microseconds, user + system CPU microseconds of the command,
// its peak resident memory in KiB, and its exit status (128 + signal number
// when a signal ended it). CPU time is the steadier figure on a busy
// machine: it leaves out the time the command waited for a processor.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int Usage() {
  fprintf(stderr, "Usage: measure [-i IN | -p IN] [-o OUT] [-e ERR] -- COMMAND [ARG...]\n");
  return 2;
}

long long Microseconds(const timeval &t) {
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec;
}

// Point descriptor 'target' at 'path', opened with 'flags'; false on failure.
bool Redirect(int target, const char *path, int flags) {
  int fd = open(path, flags, 0644);
  if (fd < 0)
    return false;
  if (fd != target) {
    if (dup2(fd, target) < 0)
      return false;
    close(fd);
  }
  return true;
}

// Copy the file 'path' into the descriptor 'out' and exit: the feeder of -p.
[[noreturn]] void Feed(const char *path, int out) {
  const int in = open(path, O_RDONLY);
  if (in < 0) {
    perror("measure: feed");
    _exit(1);
  }
  static char block[1 << 16];
  ssize_t n;
  while ((n = read(in, block, sizeof block)) > 0)
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, block + done, static_cast<size_t>(n - done));
      if (w <= 0)
        _exit(1);
      done += w;
    }
  _exit(n < 0 ? 1 : 0);
}

} // namespace

int main(int argc, char *argv[]) {
  const char *in = "/dev/null", *out = "/dev/null", *err = "/dev/null";
  const char *piped = nullptr;
  int i = 1;
  for (; i < argc && strcmp(argv[i], "--") != 0; i += 2) {
    if (i + 1 >= argc)
      return Usage();
    if (strcmp(argv[i], "-i") == 0)
      in = argv[i + 1];
    else if (strcmp(argv[i], "-p") == 0)
      piped = argv[i + 1];
    else if (strcmp(argv[i], "-o") == 0)
      out = argv[i + 1];
    else if (strcmp(argv[i], "-e") == 0)
      err = argv[i + 1];
    else
      return Usage();
  }
  if (i + 1 >= argc)
    return Usage();
  char **command = argv + i + 1;

  timespec start, stop;
  clock_gettime(CLOCK_MONOTONIC, &start);
  int pipeEnds[2] = {-1, -1};
  pid_t feeder = -1;
  if (piped) {
    if (pipe(pipeEnds) != 0 || (feeder = fork()) < 0) {
      fprintf(stderr, "measure: pipe: %s\n", strerror(errno));
      return 1;
    }
    if (feeder == 0) {
      close(pipeEnds[0]);
      Feed(piped, pipeEnds[1]);
    }
    close(pipeEnds[1]);
  }
  const pid_t pid = fork();
  if (pid < 0) {
    fprintf(stderr, "measure: fork: %s\n", strerror(errno));
    return 1;
  }
  if (pid == 0) {
    if (piped ? dup2(pipeEnds[0], 0) < 0 : !Redirect(0, in, O_RDONLY)) {
      perror("measure: redirect");
      _exit(127);
    }
    if (piped)
      close(pipeEnds[0]);
    if (!Redirect(1, out, O_WRONLY | O_CREAT | O_TRUNC) ||
        !Redirect(2, err, O_WRONLY | O_CREAT | O_TRUNC)) {
      perror("measure: redirect");
      _exit(127);
    }
    execvp(command[0], command);
    perror("measure: exec");
    _exit(127);
  }

  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      fprintf(stderr, "measure: wait: %s\n", strerror(errno));
      return 1;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &stop);
  if (piped) {
    close(pipeEnds[0]);
    waitpid(feeder, nullptr, 0);
  }

  const long long wall =
      (stop.tv_sec - start.tv_sec) * 1000000LL + (stop.tv_nsec - start.tv_nsec) / 1000;
  const long long cpu = Microseconds(usage.ru_utime) + Microseconds(usage.ru_stime);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  printf("%lld %lld %ld %d\n", wall, cpu, usage.ru_maxrss, code);
  return 0;
}
