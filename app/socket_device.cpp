// The printer on the network, as PAPPL's own socket scheme reaches it, but
// with writes that never hold a canceled job: the data goes out in short
// slices, and between them the write looks whether the job was canceled.
#include "socket_device.h"

#include "dnssd_fallback.h"
#include "job.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// PAPPL 1.3 adds its built-in schemes only while no scheme is registered, and
// refuses a scheme whose name it has. Ours is registered first, so PAPPL's
// other schemes come from its own adders: libpappl exports them, but its
// public headers do not declare them.
extern "C" {
void _papplDeviceAddFileScheme(void);
void _papplDeviceAddNetworkSchemes(void);
void _papplDeviceAddUSBScheme(void);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultPort = 9100;
constexpr int kConnectMsecs = 5000; // PAPPL tries a failed open again 5 s later
constexpr int kSliceMsecs = 100;    // how often a waiting write looks for a cancel
constexpr int kReadMsecs = 1000;
// After a cancel, the printer may finish the label it is on while it still
// reads: it is given up once it has taken nothing for 1 s, or 1.5 s after
// the cancel at the latest.
constexpr auto kQuietLimit = std::chrono::milliseconds(1000);
constexpr auto kCancelLimit = std::chrono::milliseconds(1500);

// One connection to the printer, and the job it prints.
struct SocketDevice {
  char host[256] = "";
  char port[8] = "";
  int fd = -1;
  pappl_job_t *job = nullptr;                  // the job being printed, once it has started
  std::optional<Clock::time_point> canceledAt; // when a write first saw the job canceled
  Clock::time_point lastTaken;                 // when the printer last took data
  bool dropped = false;                        // the rest of the job was not sent
};

// 'ParseSocketURI()' - The host and port of a socket:// URI, else false.
bool ParseSocketURI(const char *uri, char (&host)[256], int &port) {
  char scheme[32], userpass[256], resource[256];
  port = 0;
  if (!uri ||
      httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass,
                      host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
    return false;
  if (port <= 0)
    port = kDefaultPort;
  return !strcmp(scheme, "socket") && host[0];
}

// 'Connect()' - Connect to the printer, waiting kConnectMsecs at most; the
// connection does not block.
bool Connect(pappl_device_t *device, SocketDevice &sock) {
  http_addrlist_t *addrs = httpAddrGetList(sock.host, AF_UNSPEC, sock.port);
  if (!addrs) {
    papplDeviceError(device, "Unable to look up '%s:%s': %s", sock.host, sock.port,
                     cupsLastErrorString());
    return false;
  }
  int fd = -1;
  errno = 0;
  const bool connected = httpAddrConnect2(addrs, &fd, kConnectMsecs, nullptr) && fd >= 0;
  const int error = errno;
  httpAddrFreeList(addrs);
  if (!connected) {
    papplDeviceError(device, "Unable to connect to '%s:%s': %s", sock.host, sock.port,
                     strerror(error ? error : ETIMEDOUT));
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  sock.fd = fd;
  sock.lastTaken = Clock::now();
  return true;
}

// 'DropRest()' - Give up the rest of a canceled job: the connection is reset
// at once, so the bytes still waiting for the printer never reach it, and the
// job's log says so. The next job connects anew.
void DropRest(SocketDevice &sock, const char *message) {
  papplLogJob(sock.job, PAPPL_LOGLEVEL_ERROR, "%s", message);
  SetJobMessage(sock.job, message);
  const linger reset{1, 0};
  setsockopt(sock.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  close(sock.fd);
  sock.fd = -1;
  sock.dropped = true;
}

// 'SocketOpen()' - Connect to the printer of a socket://HOST[:PORT] URI.
bool SocketOpen(pappl_device_t *device, const char *deviceUri, const char *) {
  char host[256];
  int port;
  if (!ParseSocketURI(deviceUri, host, port)) {
    papplDeviceError(device, "Bad printer address '%s'.", deviceUri ? deviceUri : "");
    return false;
  }
  auto *sock = new (std::nothrow) SocketDevice;
  if (!sock) {
    papplDeviceError(device, "Not enough memory for the printer's connection.");
    return false;
  }
  memcpy(sock->host, host, sizeof host);
  snprintf(sock->port, sizeof sock->port, "%d", port);
  if (!Connect(device, *sock)) {
    delete sock;
    return false;
  }
  papplDeviceSetData(device, sock);
  return true;
}

// 'SocketClose()' - Close the connection; what the printer has not read yet
// still goes to it.
void SocketClose(pappl_device_t *device) {
  auto *sock = static_cast<SocketDevice *>(papplDeviceGetData(device));
  if (!sock)
    return;
  if (sock->fd >= 0)
    close(sock->fd);
  delete sock;
  papplDeviceSetData(device, nullptr);
}

// 'SocketRead()' - What the printer sent back: waits 1 s at most, and gives
// 0 bytes when nothing came.
ssize_t SocketRead(pappl_device_t *device, void *buffer, size_t bytes) {
  auto *sock = static_cast<SocketDevice *>(papplDeviceGetData(device));
  if (!sock || sock->fd < 0)
    return -1;
  pollfd ready{sock->fd, POLLIN, 0};
  const int polled = poll(&ready, 1, kReadMsecs);
  if (polled <= 0)
    return polled < 0 && errno != EINTR ? -1 : 0;
  const ssize_t n = recv(sock->fd, buffer, bytes, 0);
  return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : n;
}

// 'SocketWrite()' - Send bytes to the printer. A printer that takes nothing
// (out of paper, say) is waited for as long as it takes, unless the job is
// canceled: then it is given up once it has stopped reading.
ssize_t SocketWrite(pappl_device_t *device, const void *buffer, size_t bytes) {
  auto *sock = static_cast<SocketDevice *>(papplDeviceGetData(device));
  if (!sock || sock->dropped)
    return -1;
  // The job after one whose rest was dropped starts on a new connection.
  if (sock->fd < 0 && !Connect(device, *sock))
    return -1;

  const auto *data = static_cast<const uint8_t *>(buffer);
  size_t sent = 0;
  while (sent < bytes) {
    const ssize_t n = send(sock->fd, data + sent, bytes - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      sock->lastTaken = Clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      papplDeviceError(device, "Unable to send data to the printer: %s", strerror(errno));
      return -1;
    }

    // The printer takes nothing just now: after a cancel, it keeps its time
    // only while it still reads.
    const Clock::time_point now = Clock::now();
    if (!sock->canceledAt && sock->job && papplJobIsCanceled(sock->job))
      sock->canceledAt = now;
    if (sock->canceledAt && now - sock->lastTaken >= kQuietLimit) {
      DropRest(*sock, "The printer stopped reading; the rest of the job was not sent.");
      return -1;
    }
    if (sock->canceledAt && now - *sock->canceledAt >= kCancelLimit) {
      DropRest(*sock, "The printer reads too slowly to finish the label; the rest of the job was "
                      "not sent.");
      return -1;
    }
    pollfd ready{sock->fd, POLLOUT, 0};
    poll(&ready, 1, kSliceMsecs);
  }
  return static_cast<ssize_t>(bytes);
}

} // namespace

void AddDeviceSchemes() {
  papplDeviceAddScheme("socket", PAPPL_DEVTYPE_SOCKET, nullptr, SocketOpen, SocketClose, SocketRead,
                       SocketWrite, nullptr, nullptr);
  _papplDeviceAddFileScheme();
  _papplDeviceAddUSBScheme();
  // PAPPL's dnssd and snmp; its socket is refused, since ours is there, and
  // so is its dnssd when avahi-daemon cannot be reached.
  AddDnssdFallback();
  _papplDeviceAddNetworkSchemes();
}

void WatchJobOnDevice(pappl_job_t *job, pappl_device_t *device) {
  char host[256];
  int port;
  if (!device || !ParseSocketURI(papplPrinterGetDeviceURI(papplJobGetPrinter(job)), host, port))
    return;
  auto *sock = static_cast<SocketDevice *>(papplDeviceGetData(device));
  if (!sock)
    return;
  sock->job = job;
  sock->canceledAt.reset();
  sock->lastTaken = Clock::now();
  sock->dropped = false;
}
