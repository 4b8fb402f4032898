#include "support/filter_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>

extern char **environ;

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

void IgnoreSigpipeOnce() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void CloseFd(int &fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// The child's environment: ours, with PPD as asked and messages untranslated.
std::vector<std::string> ChildEnvironment(const std::optional<std::string> &ppd) {
  std::vector<std::string> env;
  for (char **e = environ; *e != nullptr; ++e) {
    std::string_view entry(*e);
    if (entry.starts_with("PPD=") || entry.starts_with("LC_ALL=") || entry.starts_with("LANG=") ||
        entry.starts_with("LANGUAGE=") || entry.starts_with("LC_MESSAGES="))
      continue;
    env.emplace_back(entry);
  }
  env.emplace_back("LC_ALL=C");
  // A leak found at the exit must not pass for the exit status 1 of a failure.
  auto lsan = std::find_if(env.begin(), env.end(),
                           [](const std::string &e) { return e.starts_with("LSAN_OPTIONS="); });
  if (lsan == env.end())
    env.emplace_back("LSAN_OPTIONS=exitcode=23");
  else
    *lsan += ":exitcode=23";
  if (ppd)
    env.push_back("PPD=" + *ppd);
  return env;
}

std::vector<char *> Pointers(std::vector<std::string> &strings) {
  std::vector<char *> pointers;
  for (std::string &s : strings)
    pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

} // namespace

std::vector<std::string> JobArgs(std::string_view options, std::optional<std::string> inputFile) {
  std::vector<std::string> args = {"1", "tester", "label", "1", std::string(options)};
  if (inputFile)
    args.push_back(*inputFile);
  return args;
}

FilterProcess::FilterProcess(const FilterInvocation &invocation) {
  IgnoreSigpipeOnce();

  // Everything the child needs is made before fork: it only calls system calls.
  std::vector<std::string> argStrings = {invocation.program};
  argStrings.insert(argStrings.end(), invocation.args.begin(), invocation.args.end());
  std::vector<std::string> envStrings = ChildEnvironment(invocation.ppd);
  std::vector<char *> argv = Pointers(argStrings);
  std::vector<char *> envp = Pointers(envStrings);
  rlimit limit{invocation.addressSpaceLimit, invocation.addressSpaceLimit};

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0)
    return;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]);
    return;
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]), close(out[0]), close(out[1]);
    return;
  }

  start_ = Clock::now();
  deadline_ = start_ + invocation.timeout;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    if (invocation.stdoutKind == StdoutKind::kClosed)
      close(1);
    else
      dup2(out[1], 1);
    dup2(err[1], 2);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
      sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    close_range(3, ~0U, 0);
    if (invocation.addressSpaceLimit != 0)
      setrlimit(RLIMIT_AS, &limit);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }

  close(in[0]);
  close(out[1]);
  close(err[1]);
  inFd_ = in[1];
  outFd_ = out[0];
  errFd_ = err[0];
  if (pid_ < 0) {
    CloseFd(inFd_), CloseFd(outFd_), CloseFd(errFd_);
    return;
  }
  // Standard output is not captured; as a broken pipe its reading end is gone
  // before the filter writes.
  if (invocation.stdoutKind == StdoutKind::kClosed ||
      invocation.stdoutKind == StdoutKind::kBrokenPipe)
    CloseFd(outFd_);
  outputHeld_ = invocation.stdoutKind == StdoutKind::kHeld;
  fcntl(inFd_, F_SETFL, O_NONBLOCK);
  reader_ = std::thread(&FilterProcess::ReadOutputs, this);
}

FilterProcess::~FilterProcess() {
  if (pid_ > 0 && !finished_) {
    kill(pid_, SIGKILL);
    ReleaseOutput(); // a held output never closes otherwise
    Finish();
  }
}

// Drains standard output and standard error until both are closed; held
// standard output is left alone until it is released.
void FilterProcess::ReadOutputs() {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  std::vector<uint8_t> chunk(65536);
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    bool held;
    {
      std::lock_guard lock(mutex_);
      held = outputHeld_;
    }
    // poll() skips a negative descriptor.
    const int out = fds[0].fd;
    if (held && out >= 0)
      fds[0].fd = -1;
    const int ready = poll(fds, 2, held ? 10 : -1);
    fds[0].fd = out;
    if (held)
      fds[0].revents = 0;
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0)
        continue;
      ssize_t n = read(fds[i].fd, chunk.data(), chunk.size());
      if (n < 0 && errno == EINTR)
        continue;
      std::lock_guard lock(mutex_);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
      } else if (i == 0) {
        result_.out.insert(result_.out.end(), chunk.begin(), chunk.begin() + n);
      } else {
        result_.err.append(reinterpret_cast<const char *>(chunk.data()), static_cast<size_t>(n));
      }
      changed_.notify_all();
    }
  }
  std::lock_guard lock(mutex_);
  outFd_ = errFd_ = -1;
  outputsClosed_ = true;
  changed_.notify_all();
}

bool FilterProcess::Write(std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size() && inFd_ >= 0) {
    ssize_t n = write(inFd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno != EAGAIN)
      return false;
    // The pipe is full: wait until the filter reads, or the time is up.
    pollfd pfd{inFd_, POLLOUT, 0};
    int left = MillisecondsLeft(deadline_);
    if (left == 0)
      return false;
    if (poll(&pfd, 1, left) < 0 && errno != EINTR)
      return false;
  }
  return done == bytes.size();
}

void FilterProcess::CloseInput() { CloseFd(inFd_); }

bool FilterProcess::WaitForErrLine(std::string_view line, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const std::string wanted = std::string(line) + "\n";
  auto seen = [&] {
    const std::string &err = result_.err;
    for (size_t at = err.find(wanted); at != std::string::npos; at = err.find(wanted, at + 1))
      if (at == 0 || err[at - 1] == '\n')
        return true;
    return false;
  };
  changed_.wait_for(lock, timeout, [&] { return seen() || outputsClosed_; });
  return seen();
}

bool FilterProcess::Signal(int sig) { return pid_ > 0 && !finished_ && kill(pid_, sig) == 0; }

void FilterProcess::ReleaseOutput() {
  std::lock_guard lock(mutex_);
  outputHeld_ = false;
}

bool FilterProcess::WaitForEnd(std::chrono::milliseconds timeout) {
  if (pid_ <= 0 || finished_)
    return true;
  std::unique_lock lock(mutex_);
  // The outputs close when the filter ends (it starts no other processes).
  return changed_.wait_for(lock, timeout, [&] { return outputsClosed_; });
}

FilterResult FilterProcess::Finish() {
  if (finished_ || pid_ <= 0)
    return result_;
  CloseInput();

  int status = 0;
  rusage usage{};
  for (;;) {
    pid_t done = wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_ || (done < 0 && errno != EINTR))
      break;
    if (Clock::now() >= deadline_ && !result_.timedOut) {
      result_.timedOut = true;
      kill(pid_, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  auto end = Clock::now();
  reader_.join();
  finished_ = true;

  result_.seconds = std::chrono::duration<double>(end - start_).count();
  result_.maxRssKb = usage.ru_maxrss;
  result_.exited = WIFEXITED(status);
  result_.exitStatus = result_.exited ? WEXITSTATUS(status) : -1;
  result_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result_;
}

FilterResult RunFilter(const FilterInvocation &invocation) {
  FilterProcess filter(invocation);
  if (!filter.Started())
    return FilterResult{};
  // The filter may stop reading early (a bad argument, a cancel); that is not
  // the runner's failure.
  filter.Write(invocation.input);
  return filter.Finish();
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return lines;
}

namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Replaces the value after each "key=" in 'line' that 'accept' takes, where
// the value is the longest run of characters that 'inValue' allows.
template <typename InValue, typename Accept>
void MaskValues(std::string &line, const std::string &key, const std::string &mask, InValue inValue,
                Accept accept) {
  for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1)) {
    if (at > 0 && line[at - 1] != ' ')
      continue;
    size_t begin = at + key.size();
    size_t end = begin;
    if (end < line.size() && line[end] == '-')
      ++end;
    while (end < line.size() && inValue(line[end]))
      ++end;
    std::string_view value(line.data() + begin, end - begin);
    if (!value.empty() && accept(value))
      line.replace(begin, end - begin, mask);
  }
}

} // namespace

std::string MaskVarying(std::string_view text) {
  std::string line(text);
  auto any = [](std::string_view) { return true; };
  auto nonzero = [](std::string_view v) { return v.find_first_not_of('0') != std::string::npos; };
  MaskValues(line, "time=", "<time>", IsDigit, any);
  MaskValues(line, "ppdClose fd=", "<addr>", IsDigit, any);
  for (const char *name : {"pData", "pMirror", "pBuf180", "pBuf90", "pDataBuf", "options", "f"})
    MaskValues(line, std::string(name) + "=", "<addr>", IsHex, nonzero);
  // The page dump's stream and the error text left from earlier calls.
  if (line.starts_with("ERROR: fopen ImageDithering.bmp ImageFile=") &&
      !line.starts_with("ERROR: fopen ImageDithering.bmp ImageFile=0 "))
    line = "ERROR: fopen ImageDithering.bmp ImageFile=<addr> err=<err>";
  // An open dump file leaves errno to whatever earlier calls set.
  if (line.starts_with("ERROR: fopen ") && line.find(" f=<addr> ") != std::string::npos) {
    size_t at = line.find(" errno=");
    if (at != std::string::npos)
      line = line.substr(0, at) + " errno=<errno>";
  }
  return line;
}

std::vector<std::string> MaskedLines(std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  for (std::string &line : lines)
    line = MaskVarying(line);
  return lines;
}

} // namespace testsupport
