// The state file: the system's settings and the printers with their
// defaults, written into the file's form (state_format.h) and brought back
// from it.
#include "state_file.h"

#include "settings_map.h"
#include "state_format.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A file of a few printers is a few kilobytes; anything this large is no
// state file of ours.
constexpr off_t kMaxStateBytes = 1 << 20;

// ---- Writing -------------------------------------------------------------

// 'PutText()' - A text setting that PAPPL gives through a buffer; none when unset.
void PutText(std::string &text, std::string_view key, const char *value) {
  if (value && *value)
    Put(text, key, {value});
}

void PutContact(std::string &text, const pappl_contact_t &contact) {
  if (contact.name[0] || contact.email[0] || contact.telephone[0])
    Put(text, "contact", {contact.name, contact.email, contact.telephone});
}

// The driver's defaults that are numbers (enumerations and bits included),
// as PAPPL keeps them.
struct NumberDefault {
  const char *key;
  int (*get)(const pappl_pr_driver_data_t &);
  void (*set)(pappl_pr_driver_data_t &, int);
};
using D = pappl_pr_driver_data_t;
const NumberDefault kNumberDefaults[] = {
    {"orientation-requested-default", [](const D &d) { return int(d.orient_default); },
     [](D &d, int v) { d.orient_default = ipp_orient_t(v); }},
    {"print-color-mode-default", [](const D &d) { return int(d.color_default); },
     [](D &d, int v) { d.color_default = pappl_color_mode_t(v); }},
    {"print-content-optimize-default", [](const D &d) { return int(d.content_default); },
     [](D &d, int v) { d.content_default = pappl_content_t(v); }},
    {"print-quality-default", [](const D &d) { return int(d.quality_default); },
     [](D &d, int v) { d.quality_default = ipp_quality_t(v); }},
    {"print-scaling-default", [](const D &d) { return int(d.scaling_default); },
     [](D &d, int v) { d.scaling_default = pappl_scaling_t(v); }},
    {"sides-default", [](const D &d) { return int(d.sides_default); },
     [](D &d, int v) { d.sides_default = pappl_sides_t(v); }},
    {"identify-actions-default", [](const D &d) { return int(d.identify_default); },
     [](D &d, int v) { d.identify_default = pappl_identify_actions_t(v); }},
    {"label-mode-configured", [](const D &d) { return int(d.mode_configured); },
     [](D &d, int v) { d.mode_configured = pappl_label_mode_t(v); }},
    {"label-tear-offset-configured", [](const D &d) { return d.tear_offset_configured; },
     [](D &d, int v) { d.tear_offset_configured = v; }},
    {"print-darkness-default", [](const D &d) { return d.darkness_default; },
     [](D &d, int v) { d.darkness_default = v; }},
    {"printer-darkness-configured", [](const D &d) { return d.darkness_configured; },
     [](D &d, int v) { d.darkness_configured = v; }},
    {"print-speed-default", [](const D &d) { return d.speed_default; },
     [](D &d, int v) { d.speed_default = v; }},
    {"printer-resolution-default-x", [](const D &d) { return d.x_default; },
     [](D &d, int v) { d.x_default = v; }},
    {"printer-resolution-default-y", [](const D &d) { return d.y_default; },
     [](D &d, int v) { d.y_default = v; }},
};

void PutMediaCol(std::string &text, std::string_view key, const pappl_media_col_t &m,
                 std::string_view index = {}) {
  const std::string n[] = {std::to_string(m.size_width),   std::to_string(m.size_length),
                           std::to_string(m.left_margin),  std::to_string(m.right_margin),
                           std::to_string(m.top_margin),   std::to_string(m.bottom_margin),
                           std::to_string(m.left_offset),  std::to_string(m.top_offset),
                           std::to_string(int(m.tracking))};
  text += key;
  if (!index.empty())
    text += ' ' + std::string(index);
  for (std::string_view value :
       {std::string_view(m.size_name), std::string_view(n[0]), std::string_view(n[1]),
        std::string_view(n[2]), std::string_view(n[3]), std::string_view(n[4]),
        std::string_view(n[5]), std::string_view(n[6]), std::string_view(n[7]),
        std::string_view(n[8]), std::string_view(m.source), std::string_view(m.type)})
    text += ' ' + Escape(value);
  text += '\n';
}

// 'CheckedVendorDefaults()' - The printer's vendor defaults, each one the
// printer takes: a default it does not take (set with any value over IPP
// or the web page) is set back to the built-in one, with an error.
std::vector<std::pair<std::string, std::string>> CheckedVendorDefaults(pappl_printer_t *printer) {
  std::vector<std::pair<std::string, std::string>> values;
  ipp_t *attrs = papplPrinterGetDriverAttributes(printer);
  int numReset = 0;
  cups_option_t *reset = nullptr;
  for (const PrinterOption &option : VendorOptions()) {
    const std::string defaultName = std::string(option.ippName) + "-default";
    std::optional<std::string> value =
        SupportedValue(option, ippFindAttribute(attrs, defaultName.c_str(), IPP_TAG_ZERO));
    if (!value) {
      papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR,
                      "The default of %s is not a value the printer takes; it is set back to "
                      "%s.",
                      option.ippName, DefaultValue(option));
      numReset = cupsAddOption(option.ippName, DefaultValue(option), numReset, &reset);
      value = DefaultValue(option);
    }
    values.emplace_back(option.ippName, *value);
  }
  ippDelete(attrs);
  if (numReset > 0) {
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    papplPrinterSetDriverDefaults(printer, &data, numReset, reset);
    cupsFreeOptions(numReset, reset);
  }
  return values;
}

// 'PutPrinter()' - A printer and its settings.
void PutPrinter(pappl_printer_t *printer, void *data) {
  std::string &text = *static_cast<std::string *>(data);
  char buffer[1024];
  const char *deviceId = papplPrinterGetDeviceID(printer);
  Put(text, "printer",
      {std::to_string(papplPrinterGetID(printer)), papplPrinterGetName(printer),
       papplPrinterGetDriverName(printer), papplPrinterGetDeviceURI(printer),
       deviceId ? deviceId : ""});
  PutText(text, "dnssd-name", papplPrinterGetDNSSDName(printer, buffer, sizeof buffer));
  PutText(text, "location", papplPrinterGetLocation(printer, buffer, sizeof buffer));
  PutText(text, "geo-location", papplPrinterGetGeoLocation(printer, buffer, sizeof buffer));
  PutText(text, "organization", papplPrinterGetOrganization(printer, buffer, sizeof buffer));
  PutText(text, "organizational-unit",
          papplPrinterGetOrganizationalUnit(printer, buffer, sizeof buffer));
  PutText(text, "print-group", papplPrinterGetPrintGroup(printer, buffer, sizeof buffer));
  pappl_contact_t contact{};
  papplPrinterGetContact(printer, &contact);
  PutContact(text, contact);
  PutInt(text, "hold-new-jobs", papplPrinterIsHoldingNewJobs(printer) ? 1 : 0);
  PutInt(text, "next-job-id", papplPrinterGetNextJobID(printer));
  PutInt(text, "impressions-completed", papplPrinterGetImpressionsCompleted(printer));
  PutInt(text, "max-completed-jobs", papplPrinterGetMaxCompletedJobs(printer));

  const std::vector<std::pair<std::string, std::string>> vendor = CheckedVendorDefaults(printer);
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  for (const NumberDefault &field : kNumberDefaults)
    PutInt(text, field.key, field.get(driver));
  PutMediaCol(text, "media-col-default", driver.media_default);
  for (int i = 0; i < driver.num_source && i < PAPPL_MAX_SOURCE; ++i)
    if (driver.media_ready[i].size_name[0])
      PutMediaCol(text, "media-col-ready", driver.media_ready[i], std::to_string(i));
  for (const auto &[name, value] : vendor)
    Put(text, "vendor", {name, value});
}

// 'StateText()' - The whole file.
std::string StateText(pappl_system_t *system) {
  std::string text(kStateHeader);
  text += '\n';
  char buffer[1024];
  if (const char *uuid = papplSystemGetUUID(system))
    Put(text, "uuid", {uuid});
  PutText(text, "dnssd-name", papplSystemGetDNSSDName(system, buffer, sizeof buffer));
  PutText(text, "location", papplSystemGetLocation(system, buffer, sizeof buffer));
  PutText(text, "geo-location", papplSystemGetGeoLocation(system, buffer, sizeof buffer));
  PutText(text, "organization", papplSystemGetOrganization(system, buffer, sizeof buffer));
  PutText(text, "organizational-unit",
          papplSystemGetOrganizationalUnit(system, buffer, sizeof buffer));
  PutText(text, "admin-group", papplSystemGetAdminGroup(system, buffer, sizeof buffer));
  PutText(text, "default-print-group",
          papplSystemGetDefaultPrintGroup(system, buffer, sizeof buffer));
  PutText(text, "password", papplSystemGetPassword(system, buffer, sizeof buffer));
  pappl_contact_t contact{};
  papplSystemGetContact(system, &contact);
  PutContact(text, contact);
  PutInt(text, "default-printer-id", papplSystemGetDefaultPrinterID(system));
  PutInt(text, "next-printer-id", papplSystemGetNextPrinterID(system));
  papplSystemIteratePrinters(system, PutPrinter, &text);
  return text;
}

// ---- Reading ---------------------------------------------------------------

// 'ReadWhole()' - The file's bytes; false when it cannot be read.
bool ReadWhole(const std::string &path, std::string &text, bool &missing) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  missing = fd < 0 && errno == ENOENT;
  if (fd < 0)
    return false;
  struct stat info;
  if (fstat(fd, &info) || !S_ISREG(info.st_mode) || info.st_size > kMaxStateBytes) {
    close(fd);
    return false;
  }
  text.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  text.resize(done);
  return done == static_cast<size_t>(info.st_size);
}

// ---- Bringing the settings back ------------------------------------------

// 'MediaCol()' - A media-col from the values "NAME W L LEFT RIGHT TOP BOTTOM
// LEFT-OFFSET TOP-OFFSET TRACKING SOURCE TYPE".
std::optional<pappl_media_col_t> MediaCol(const Values &v, size_t first) {
  if (v.size() != first + 12)
    return std::nullopt;
  pappl_media_col_t col{};
  int *numbers[] = {&col.size_width, &col.size_length,   &col.left_margin, &col.right_margin,
                    &col.top_margin, &col.bottom_margin, &col.left_offset, &col.top_offset};
  for (size_t i = 0; i < std::size(numbers); ++i)
    if (!ToInt(v[first + 1 + i], *numbers[i]))
      return std::nullopt;
  int tracking = 0;
  if (!ToInt(v[first + 9], tracking))
    return std::nullopt;
  col.tracking = pappl_media_tracking_t(tracking);
  papplCopyString(col.size_name, v[first].c_str(), sizeof col.size_name);
  papplCopyString(col.source, v[first + 10].c_str(), sizeof col.source);
  papplCopyString(col.type, v[first + 11].c_str(), sizeof col.type);
  return col;
}

// 'Contact()' - A contact from the values "NAME EMAIL TELEPHONE".
pappl_contact_t Contact(const Values &v) {
  pappl_contact_t contact{};
  papplCopyString(contact.name, v[0].c_str(), sizeof contact.name);
  papplCopyString(contact.email, v[1].c_str(), sizeof contact.email);
  papplCopyString(contact.telephone, v[2].c_str(), sizeof contact.telephone);
  return contact;
}

void ApplySystem(pappl_system_t *system, const std::vector<Line> &lines) {
  for (const Line &line : lines) {
    const Values &v = line.values;
    const char *text = v.size() == 1 ? v[0].c_str() : nullptr;
    int number = 0;
    const bool n = text && ToInt(v[0], number);
    if (line.key == "uuid" && text)
      papplSystemSetUUID(system, text);
    else if (line.key == "dnssd-name" && text)
      papplSystemSetDNSSDName(system, text);
    else if (line.key == "location" && text)
      papplSystemSetLocation(system, text);
    else if (line.key == "geo-location" && text)
      papplSystemSetGeoLocation(system, text);
    else if (line.key == "organization" && text)
      papplSystemSetOrganization(system, text);
    else if (line.key == "organizational-unit" && text)
      papplSystemSetOrganizationalUnit(system, text);
    else if (line.key == "admin-group" && text)
      papplSystemSetAdminGroup(system, text);
    else if (line.key == "default-print-group" && text)
      papplSystemSetDefaultPrintGroup(system, text);
    else if (line.key == "password" && text)
      papplSystemSetPassword(system, text);
    else if (line.key == "default-printer-id" && n)
      papplSystemSetDefaultPrinterID(system, number);
    else if (line.key == "next-printer-id" && n)
      papplSystemSetNextPrinterID(system, number);
    else if (line.key == "contact" && v.size() == 3) {
      pappl_contact_t contact = Contact(v);
      papplSystemSetContact(system, &contact);
    } else
      papplLog(system, PAPPL_LOGLEVEL_WARN, "State file line %d (%s) is not used.", line.number,
               line.key.c_str());
  }
}

void ApplyPrinter(pappl_system_t *system, const PrinterRecord &record) {
  pappl_printer_t *printer =
      papplPrinterCreate(system, record.id, record.name.c_str(), record.driver.c_str(),
                         record.deviceId.c_str(), record.deviceUri.c_str());
  if (!printer) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Printer %d of the state file cannot be added: %s",
             record.id, strerror(errno));
    return;
  }
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  int numVendor = 0;
  cups_option_t *vendor = nullptr;
  std::vector<pappl_media_col_t> ready(driver.media_ready, driver.media_ready + PAPPL_MAX_SOURCE);
  bool haveReady = false;
  for (const Line &line : record.settings) {
    const Values &v = line.values;
    const char *text = v.size() == 1 ? v[0].c_str() : nullptr;
    int number = 0;
    const bool n = text && ToInt(v[0], number);
    const NumberDefault *field = nullptr;
    for (const NumberDefault &f : kNumberDefaults)
      if (line.key == f.key)
        field = &f;
    bool used = true;
    if (field && n)
      field->set(driver, number);
    else if (line.key == "dnssd-name" && text)
      papplPrinterSetDNSSDName(printer, text);
    else if (line.key == "location" && text)
      papplPrinterSetLocation(printer, text);
    else if (line.key == "geo-location" && text)
      papplPrinterSetGeoLocation(printer, text);
    else if (line.key == "organization" && text)
      papplPrinterSetOrganization(printer, text);
    else if (line.key == "organizational-unit" && text)
      papplPrinterSetOrganizationalUnit(printer, text);
    else if (line.key == "print-group" && text)
      papplPrinterSetPrintGroup(printer, text);
    else if (line.key == "hold-new-jobs" && n) {
      if (number)
        papplPrinterHoldNewJobs(printer);
    } else if (line.key == "next-job-id" && n)
      papplPrinterSetNextJobID(printer, number);
    else if (line.key == "impressions-completed" && n)
      papplPrinterSetImpressionsCompleted(printer, number);
    else if (line.key == "max-completed-jobs" && n)
      papplPrinterSetMaxCompletedJobs(printer, number);
    else if (line.key == "contact" && v.size() == 3) {
      pappl_contact_t contact = Contact(v);
      papplPrinterSetContact(printer, &contact);
    } else if (line.key == "vendor" && v.size() == 2)
      numVendor = cupsAddOption(v[0].c_str(), v[1].c_str(), numVendor, &vendor);
    else if (line.key == "media-col-default" && MediaCol(v, 0))
      driver.media_default = *MediaCol(v, 0);
    else if (int index = 0; line.key == "media-col-ready" && !v.empty() && ToInt(v[0], index) &&
                            index >= 0 && index < PAPPL_MAX_SOURCE && MediaCol(v, 1)) {
      ready[static_cast<size_t>(index)] = *MediaCol(v, 1);
      haveReady = true;
    } else
      used = false;
    if (!used)
      papplLog(system, PAPPL_LOGLEVEL_WARN, "State file line %d (%s) is not used.", line.number,
               line.key.c_str());
  }
  // PAPPL checks the defaults against what the driver offers.
  if (!papplPrinterSetDriverDefaults(printer, &driver, numVendor, vendor))
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR,
                    "The defaults in the state file are not ones the printer takes; the "
                    "printer keeps its own.");
  cupsFreeOptions(numVendor, vendor);
  if (haveReady)
    papplPrinterSetReadyMedia(printer, driver.num_source, ready.data());
}

// 'MoveAside()' - Keep a file that cannot be read where nothing is saved
// over it. False when it cannot be moved.
bool MoveAside(pappl_system_t *system, const std::string &path, int line, const char *why) {
  const std::string aside = path + ".unreadable";
  const bool moved = rename(path.c_str(), aside.c_str()) == 0;
  if (moved)
    papplLog(system, PAPPL_LOGLEVEL_ERROR,
             "The state file '%s' cannot be read (line %d: %s); it was moved to '%s', and the "
             "server starts without printers.",
             path.c_str(), line, why, aside.c_str());
  else
    papplLog(system, PAPPL_LOGLEVEL_ERROR,
             "The state file '%s' cannot be read (line %d: %s) and cannot be moved aside: %s",
             path.c_str(), line, why, strerror(errno));
  return moved;
}

} // namespace

bool LoadState(pappl_system_t *system, const std::string &path) {
  std::string text;
  bool missing = false;
  if (!ReadWhole(path, text, missing))
    return missing || MoveAside(system, path, 0, "the file cannot be read whole");

  // The file of an earlier version, which PAPPL wrote (it always has the
  // system's UUID): loaded by PAPPL unless a line is broken, kept beside the
  // new one, and saved anew.
  const bool ours = text.starts_with("label-printer-app-state");
  if (!ours && (text.starts_with("UUID ") || text.find("\nUUID ") != std::string::npos)) {
    if (int bad = BrokenLegacyLine(text))
      return MoveAside(system, path, bad, "a value runs over the end of its line");
    papplSystemLoadState(system, path.c_str());
    const std::string kept = path + ".pappl";
    rename(path.c_str(), kept.c_str());
    papplLog(system, PAPPL_LOGLEVEL_INFO, "The state file '%s' is kept as '%s' and saved anew.",
             path.c_str(), kept.c_str());
    return SaveState(system, path);
  }

  StateRecord state;
  int badLine = 0;
  const char *why = "";
  if (!ParseState(text, state, badLine, why))
    return MoveAside(system, path, badLine, why);
  papplLog(system, PAPPL_LOGLEVEL_INFO, "Loading the state from '%s'.", path.c_str());
  ApplySystem(system, state.system);
  for (const PrinterRecord &printer : state.printers)
    ApplyPrinter(system, printer);
  return true;
}

bool SaveState(pappl_system_t *system, const std::string &path) {
  const std::string text = StateText(system);
  const std::string temporary = path + ".new";
  const int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && fchmod(fd, 0600) == 0;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    ok = n > 0;
    done += ok ? static_cast<size_t>(n) : 0;
  }
  ok = ok && fsync(fd) == 0;
  if (fd >= 0 && close(fd) != 0)
    ok = false;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Unable to save the state to '%s': %s", path.c_str(),
             strerror(errno));
    unlink(temporary.c_str());
  }
  return ok;
}
