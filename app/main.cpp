// 'label-printer-app' - The printer application for 203 dpi thermal label and
// receipt printers: an IPP Everywhere printer on PAPPL whose jobs go through
// the label engine, with PAPPL's sub-commands (server, add, submit, ...).
#include "app_context.h"
#include "driver.h"
#include "image_filter.h"
#include "job.h"
#include "preview_page.h"
#include "socket_device.h"
#include "state_file.h"
#include "web_strings.h"

#include <pappl/pappl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr const char *kAppName = "label-printer-app";
constexpr const char *kVersion = "0.1";
constexpr int kDefaultPort = 8000;

// 'Option()' - A server option (-o NAME=VALUE), else the environment
// variable, else nothing.
const char *Option(int num_options, cups_option_t *options, const char *name, const char *env) {
  if (const char *value = cupsGetOption(name, num_options, options))
    return value;
  return env ? getenv(env) : nullptr;
}

// 'UserFile()' - A file of the application's in the system's place for it
// when run as root, else in the user's own.
std::string UserFile(const char *rootDir, const char *userDirEnv, const char *userFallback,
                     const char *suffix) {
  if (getuid() == 0)
    return std::string(rootDir) + "/" + kAppName + suffix;
  if (const char *dir = getenv(userDirEnv))
    return std::string(dir) + "/" + kAppName + suffix;
  if (userFallback)
    if (const char *home = getenv("HOME"))
      return std::string(home) + userFallback + "/" + kAppName + suffix;
  const char *tmp = getenv("TMPDIR");
  return std::string(tmp ? tmp : "/tmp") + "/" + kAppName + std::to_string(getuid()) + suffix;
}

pappl_loglevel_t LogLevel(const char *value) {
  if (!value)
    return PAPPL_LOGLEVEL_INFO;
  if (!strcmp(value, "debug"))
    return PAPPL_LOGLEVEL_DEBUG;
  if (!strcmp(value, "warn"))
    return PAPPL_LOGLEVEL_WARN;
  if (!strcmp(value, "error"))
    return PAPPL_LOGLEVEL_ERROR;
  if (!strcmp(value, "fatal"))
    return PAPPL_LOGLEVEL_FATAL;
  return PAPPL_LOGLEVEL_INFO;
}

bool SaveCallback(pappl_system_t *system, void *data) {
  return SaveState(system, static_cast<AppContext *>(data)->stateFile);
}

// 'OneJobAtATime()' - A printer takes one job at a time: others get
// server-error-busy and send again. PAPPL 1.3 otherwise starts jobs of one
// printer side by side, or one job twice, on the one device.
void OneJobAtATime(pappl_printer_t *printer, void *) { papplPrinterSetMaxActiveJobs(printer, 1); }

// 'SetUpPrinter()' - A new printer, or one of the state file: one job at a
// time, and its web page shows its last label and previews documents.
// (Not while iterating the printers: that holds the lock that adding a
// page takes.)
void SetUpPrinter(pappl_printer_t *printer, void *data) {
  OneJobAtATime(printer, data);
  AddLabelPages(printer);
}

// 'MakeSystem()' - The server's system, from the server sub-command's
// options:
//   -o server-port=N         the IPP and web port (8000)
//   -o spool-directory=DIR   the jobs' files
//   -o log-file=FILE, -o log-level=debug|info|warn|error
//   -o log-max-size=BYTES    the log's size before PAPPL starts it anew,
//                            keeping one older log as FILE.O (0: no limit)
//   -o state-file=FILE       the printers and their defaults
//                            (LABEL_PRINTER_APP_STATE)
//   -o listen-address=ADDR   "localhost" (the default: loopback only), an
//                            address or host name, or "*" for every network
//   -o admin-group=GROUP, -o auth-service=PAM-SERVICE
//                            who may change settings from another machine
pappl_system_t *MakeSystem(int num_options, cups_option_t *options, void *data) {
  auto &context = *static_cast<AppContext *>(data);
  const char *port = Option(num_options, options, "server-port", nullptr);
  const char *spool = Option(num_options, options, "spool-directory", nullptr);
  const char *logFile = Option(num_options, options, "log-file", nullptr);
  const char *logLevel = Option(num_options, options, "log-level", nullptr);
  const char *logMaxSize = Option(num_options, options, "log-max-size", nullptr);
  const char *state = Option(num_options, options, "state-file", "LABEL_PRINTER_APP_STATE");
  const char *listen = Option(num_options, options, "listen-address", nullptr);
  const char *adminGroup = Option(num_options, options, "admin-group", nullptr);
  const char *authService = Option(num_options, options, "auth-service", nullptr);

  context.stateFile = state ? state : UserFile("/var/lib", "XDG_CONFIG_HOME", "/.config", ".state");

  const pappl_soptions_t soptions = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE |
                                    PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY;
  pappl_system_t *system = papplSystemCreate(
      soptions, "Label Printer App", port ? atoi(port) : kDefaultPort, "_print,_universal", spool,
      logFile ? logFile : "-", LogLevel(logLevel), authService, false);
  if (!system)
    return nullptr;
  if (logMaxSize)
    papplSystemSetMaxLogSize(system, strtoul(logMaxSize, nullptr, 10));

  // Loopback only unless asked: "*" listens on every address. The main loop
  // adds the local socket its sub-commands use, named after the program
  // (/run/label-printer-app.sock as root).
  const char *listenName = listen ? listen : "localhost";
  if (!papplSystemAddListeners(system, strcmp(listenName, "*") ? listenName : nullptr)) {
    papplSystemDelete(system);
    return nullptr;
  }
  // PNG and JPEG documents go through the application's own image filters,
  // which check an image's size before they decode it.
  papplSystemAddMIMEFilter(system, "image/png", kPrinterFormat, LabelFilterPNG, nullptr);
  papplSystemAddMIMEFilter(system, "image/jpeg", kPrinterFormat, LabelFilterJPEG, nullptr);

  papplSystemSetPrinterDrivers(system, 1, DriverList(), nullptr, SetUpPrinter, LabelDriverCallback,
                               &context);
  papplSystemAddTimerCallback(system, 0, 1, OpenLateGates, &context.gate);
  pappl_version_t version{};
  strncpy(version.name, kAppName, sizeof version.name - 1);
  strncpy(version.sversion, kVersion, sizeof version.sversion - 1);
  version.version[1] = 1;
  papplSystemSetVersions(system, 1, &version);
  // The web page names the printer's settings, their choices and the media.
  context.webStrings = WebStrings();
  AddWebStrings(system, context.webStrings);
  papplSystemSetFooterHTML(system, FooterHtml().c_str());

  // The printers and their defaults come back after a restart.
  if (!LoadState(system, context.stateFile)) {
    papplSystemDelete(system);
    return nullptr;
  }
  papplSystemIteratePrinters(system, OneJobAtATime, nullptr);
  papplSystemSetSaveCallback(system, SaveCallback, &context);
  // The server's own option wins over the saved one.
  if (adminGroup)
    papplSystemSetAdminGroup(system, adminGroup);
  return system;
}

} // namespace

int main(int argc, char *argv[]) {
  AppContext context;
  AddDeviceSchemes(); // before PAPPL adds its own: our socket:// first
  return papplMainloop(argc, argv, kVersion, nullptr, 1, DriverList(), nullptr, LabelDriverCallback,
                       nullptr, nullptr, MakeSystem, nullptr, &context);
}
