// Runs the real labelfilter executable in a child process the way the CUPS
// spooler does, for tests, benchmarks and fuzzers.
//
// The child gets the given arguments after argv[0], the environment of this
// process with PPD set as asked (or removed) and LC_ALL=C (so libcups reports
// in English), default handlers for every signal (SIGPIPE included) and no
// descriptors but 0, 1 and 2. This process ignores SIGPIPE from the first run
// on, so that feeding a filter that has stopped reading is a failed write, not
// the end of the test. In a sanitizer build a leak makes the child exit with
// status 23 (LSAN_OPTIONS=exitcode=23), so a leak on a path that exits with
// status 1 fails the test too.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

// Where the filter's standard output goes.
enum class StdoutKind {
  kCapture,    // a pipe read into FilterResult::out
  kClosed,     // descriptor 1 is closed
  kBrokenPipe, // a pipe whose reading end is already closed: the backend went away
  kHeld,       // a pipe read into FilterResult::out once ReleaseOutput is called
};

struct FilterInvocation {
  std::vector<std::string> args;  // argv[1], argv[2], ... (see JobArgs)
  std::optional<std::string> ppd; // the PPD variable; unset when empty
  std::vector<uint8_t> input;     // standard input, for RunFilter
  StdoutKind stdoutKind = StdoutKind::kCapture;
  uint64_t addressSpaceLimit = 0;   // RLIMIT_AS of the child in bytes; 0 for none
  std::chrono::seconds timeout{60}; // then the child is killed with SIGKILL
  std::string program = LABELFILTER_PATH;
};

struct FilterResult {
  std::vector<uint8_t> out; // standard output, when captured
  std::string err;          // standard error
  bool exited = false;      // ended by exit or a return from main
  int exitStatus = -1;      // its status, when exited
  int signal = 0;           // the signal that ended it, when not exited
  bool timedOut = false;    // killed because it ran past the timeout
  double seconds = 0;       // wall time from start to end
  long maxRssKb = 0;        // peak resident memory
};

// The filter arguments argv[1] to argv[5] as CUPS passes them (job id, user,
// title, copies, options), plus argv[6] when an input file is given.
std::vector<std::string> JobArgs(std::string_view options = "",
                                 std::optional<std::string> inputFile = std::nullopt);

// Runs the filter to its end with 'input' on standard input.
FilterResult RunFilter(const FilterInvocation &invocation);

// A running filter whose standard input the caller feeds piece by piece,
// for instance to signal it in the middle of a page. Standard output and
// standard error are read all the time, so the filter never blocks on them.
class FilterProcess {
public:
  explicit FilterProcess(const FilterInvocation &invocation); // 'input' is not used
  ~FilterProcess();                                           // kills it if still running
  FilterProcess(const FilterProcess &) = delete;
  FilterProcess &operator=(const FilterProcess &) = delete;

  bool Started() const { return pid_ > 0; }
  // Writes to standard input; false when the filter no longer reads it or
  // the timeout ran out.
  bool Write(std::span<const uint8_t> bytes);
  void CloseInput();
  // Waits until standard error has carried 'line' (without its newline) as a
  // whole line; false if it did not within 'timeout' or the filter ended.
  bool WaitForErrLine(std::string_view line, std::chrono::milliseconds timeout);
  bool Signal(int sig);
  // Starts reading standard output of kHeld.
  void ReleaseOutput();
  // Waits until the filter has ended, without closing standard input; false
  // if it did not within 'timeout'.
  bool WaitForEnd(std::chrono::milliseconds timeout);
  pid_t pid() const { return pid_; }
  // Closes standard input and waits for the end.
  FilterResult Finish();

private:
  void ReadOutputs();

  pid_t pid_ = -1;
  int inFd_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point deadline_;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool outputsClosed_ = false;
  bool outputHeld_ = false;
  FilterResult result_;
  bool finished_ = false;
};

// Standard error as lines, without their newlines (a last unterminated line
// counts as a line).
std::vector<std::string> SplitLines(std::string_view text);

// The line with what varies from run to run replaced, so that lines can be
// compared exactly:
//   "time=1712345678"                  -> "time=<time>"
//   "ppdClose fd=-1234567"             -> "ppdClose fd=<addr>"
//   "pData=5a3c2f10" and the other buffer addresses printed with "%x"
//   (pData, pMirror, pBuf180, pBuf90, pDataBuf, options, f) -> "pData=<addr>"
//   unless the address is 0, which stays "0" (a buffer that was not made);
//   on the dump's fopen line with an open file, whatever follows " errno="
//   (the error number left over from earlier calls) -> " errno=<errno>";
//   the page dump's line with an open file ->
//   "ERROR: fopen ImageDithering.bmp ImageFile=<addr> err=<err>".
std::string MaskVarying(std::string_view line);

// SplitLines and MaskVarying together.
std::vector<std::string> MaskedLines(std::string_view text);

} // namespace testsupport
