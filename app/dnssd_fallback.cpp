// PAPPL 1.3 browses and resolves DNS-SD services through an avahi client
// that it makes once and never checks: when avahi_client_new() fails (no
// avahi-daemon, or no D-Bus system bus), the next browse asserts on the
// missing client and the whole process aborts. Without avahi, the dnssd
// scheme is the application's: it lists no printers and opens none, and
// says why. Printers on socket://, usb:// and snmp:// are not affected.
#include "dnssd_fallback.h"

#include <avahi-client/client.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <pappl/pappl.h>

#include <string>

namespace {

// 'AvahiProblem()' - Why PAPPL's avahi client cannot be made, as PAPPL makes
// it (waiting for a daemon that is not there yet is no problem); empty when
// it can.
std::string AvahiProblem() {
  AvahiSimplePoll *poll = avahi_simple_poll_new();
  if (!poll)
    return "no memory for an avahi client";
  int error = 0;
  AvahiClient *client =
      avahi_client_new(avahi_simple_poll_get(poll), AVAHI_CLIENT_NO_FAIL, nullptr, nullptr, &error);
  std::string problem;
  if (client)
    avahi_client_free(client);
  else
    problem = avahi_strerror(error);
  avahi_simple_poll_free(poll);
  return problem;
}

// 'WhyNotFound()' - Why dnssd:// printers are neither found nor reached.
std::string WhyNotFound() {
  const std::string problem = AvahiProblem();
  if (problem.empty())
    return "avahi-daemon was not running when the printer application started; restart the "
           "application";
  return "that needs avahi-daemon, which is not running (avahi: " + problem +
         "); add a network printer by its address (socket://HOST:9100)";
}

// 'ListNone()' - No printers found: say once per listing why.
bool ListNone(pappl_device_cb_t, void *, pappl_deverror_cb_t err_cb, void *err_data) {
  if (err_cb)
    err_cb(("Network printers (dnssd://) are not discovered: " + WhyNotFound() + ".").c_str(),
           err_data);
  return false;
}

// 'OpenNone()' - A dnssd:// printer cannot be reached without avahi.
bool OpenNone(pappl_device_t *device, const char *, const char *) {
  papplDeviceError(device, "The network printer (dnssd://) cannot be reached: %s.",
                   WhyNotFound().c_str());
  return false;
}

void CloseNone(pappl_device_t *) {}

ssize_t ReadNone(pappl_device_t *, void *, size_t) { return -1; }

ssize_t WriteNone(pappl_device_t *, const void *, size_t) { return -1; }

} // namespace

bool AddDnssdFallback() {
  if (AvahiProblem().empty())
    return false;
  papplDeviceAddScheme("dnssd", PAPPL_DEVTYPE_DNS_SD, ListNone, OpenNone, CloseNone, ReadNone,
                       WriteNone, nullptr, nullptr);
  return true;
}
