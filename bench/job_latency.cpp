// job_latency - time print jobs on two IPP printers, one after the other.
//
//   job_latency N NAME-A=URI-A NAME-B=URI-B FORMAT=FILE...
//
// For each of N rounds and each document, sends the document to printer A
// and to printer B (B first in every other round) and times each job from
// the moment its Print-Job request is sent until Get-Job-Attributes reports
// it completed. A Print-Job answered server-error-busy or
// server-error-not-accepting-jobs is sent again and timed from the new
// request. Prints, per document, the median, the fastest and the slowest
// time of each printer in milliseconds and the ratio of the medians A / B.
// Exit status 1 when a job did not complete.
#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Printer {
  std::string name;
  std::string uri;
  char resource[256] = "";
  std::unique_ptr<http_t, void (*)(http_t *)> http{nullptr, httpClose};
};

struct Document {
  std::string format;
  std::string file;
  std::vector<double> ms[2]; // each printer's times
};

// 'Connect()' - Open a connection to the printer's server.
bool Connect(Printer &p) {
  char scheme[32], user[256], host[256];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, p.uri.c_str(), scheme, sizeof scheme, user, sizeof user,
                      host, sizeof host, &port, p.resource, sizeof p.resource) < HTTP_URI_STATUS_OK)
    return false;
  p.http.reset(
      httpConnect2(host, port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr));
  return p.http != nullptr;
}

// 'Request()' - A new request of 'op' for the printer, as user "bench".
ipp_t *Request(const Printer &p, ipp_op_t op) {
  ipp_t *request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, p.uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "bench");
  return request;
}

// 'SendJob()' - Print-Job with the whole file, its length given; the job's
// id, 0 when the printer asks to send again, -1 on an error.
int SendJob(Printer &p, const Document &d, const std::vector<char> &bytes) {
  ipp_t *request = Request(p, IPP_OP_PRINT_JOB);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               d.format.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "bench");
  // The length is the request's and the document's together.
  int id = -1;
  if (cupsSendRequest(p.http.get(), request, p.resource, ippLength(request) + bytes.size()) ==
          HTTP_STATUS_CONTINUE &&
      cupsWriteRequestData(p.http.get(), bytes.data(), bytes.size()) == HTTP_STATUS_CONTINUE) {
    ipp_t *response = cupsGetResponse(p.http.get(), p.resource);
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_BUSY || status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS)
      id = 0;
    else if (status <= IPP_STATUS_OK_EVENTS_COMPLETE)
      id = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
    else
      fprintf(stderr, "job_latency: %s: %s\n", p.name.c_str(), cupsLastErrorString());
    ippDelete(response);
  }
  ippDelete(request);
  return id;
}

// 'JobState()' - The job's state, 0 when it cannot be had.
int JobState(Printer &p, int id) {
  ipp_t *request = Request(p, IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "job-state");
  ipp_t *response = cupsDoRequest(p.http.get(), request, p.resource);
  const int state = ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0);
  ippDelete(response);
  return state;
}

// 'TimeJob()' - Milliseconds from Print-Job to the job's completion;
// nothing when it did not complete.
std::optional<double> TimeJob(Printer &p, const Document &d, const std::vector<char> &bytes) {
  for (int attempt = 0; attempt < 5000; ++attempt) {
    const Clock::time_point start = Clock::now();
    const int id = SendJob(p, d, bytes);
    if (id < 0)
      return std::nullopt;
    if (id == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    int state;
    while ((state = JobState(p, id)) != 0 && state < IPP_JSTATE_CANCELED)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (state != IPP_JSTATE_COMPLETED) {
      fprintf(stderr, "job_latency: %s: job %d of %s ended in state %d\n", p.name.c_str(), id,
              d.file.c_str(), state);
      return std::nullopt;
    }
    return ms;
  }
  return std::nullopt;
}

// 'ReadFile()' - The whole file.
std::optional<std::vector<char>> ReadFile(const std::string &path) {
  FILE *fp = fopen(path.c_str(), "rb");
  if (!fp)
    return std::nullopt;
  std::vector<char> bytes;
  char block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof block, fp)) > 0)
    bytes.insert(bytes.end(), block, block + n);
  fclose(fp);
  return bytes;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int Usage() {
  fprintf(stderr, "usage: job_latency N NAME-A=URI-A NAME-B=URI-B FORMAT=FILE...\n");
  return 2;
}

} // namespace

int main(int argc, char *argv[]) {
  if (argc < 5)
    return Usage();
  const int rounds = atoi(argv[1]);
  Printer printers[2];
  for (int i = 0; i < 2; ++i) {
    const char *eq = strchr(argv[2 + i], '=');
    if (!eq)
      return Usage();
    printers[i].name.assign(argv[2 + i], static_cast<size_t>(eq - argv[2 + i]));
    printers[i].uri = eq + 1;
    if (!Connect(printers[i])) {
      fprintf(stderr, "job_latency: cannot reach %s\n", printers[i].uri.c_str());
      return 1;
    }
  }
  std::vector<Document> docs;
  std::vector<std::vector<char>> contents;
  for (int i = 4; i < argc; ++i) {
    const char *eq = strchr(argv[i], '=');
    if (!eq)
      return Usage();
    Document d{std::string(argv[i], static_cast<size_t>(eq - argv[i])), eq + 1, {}};
    auto bytes = ReadFile(d.file);
    if (!bytes) {
      fprintf(stderr, "job_latency: cannot read %s\n", d.file.c_str());
      return 1;
    }
    docs.push_back(std::move(d));
    contents.push_back(std::move(*bytes));
  }
  if (rounds < 1)
    return Usage();

  // Rounds of every document on both printers, the first printer taking
  // turns; a short pause after each job leaves the machine idle again.
  for (int r = 0; r < rounds; ++r)
    for (size_t k = 0; k < docs.size(); ++k)
      for (int turn = 0; turn < 2; ++turn) {
        const int i = (turn + r) % 2;
        const auto ms = TimeJob(printers[i], docs[k], contents[k]);
        if (!ms)
          return 1;
        docs[k].ms[i].push_back(*ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }

  printf("%-12s %22s %22s %8s\n", "document", (printers[0].name + " ms").c_str(),
         (printers[1].name + " ms").c_str(), "ratio");
  printf("%-12s %22s %22s %8s\n", "", "median (min-max)", "median (min-max)", "A/B");
  for (const Document &d : docs) {
    char a[64], b[64];
    for (int i = 0; i < 2; ++i)
      snprintf(i ? b : a, sizeof a, "%.1f (%.1f-%.1f)", Median(d.ms[i]),
               *std::min_element(d.ms[i].begin(), d.ms[i].end()),
               *std::max_element(d.ms[i].begin(), d.ms[i].end()));
    const char *slash = strrchr(d.file.c_str(), '/');
    printf("%-12s %22s %22s %8.2f\n", slash ? slash + 1 : d.file.c_str(), a, b,
           Median(d.ms[0]) / Median(d.ms[1]));
  }
  return 0;
}
