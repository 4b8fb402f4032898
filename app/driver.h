// The printer driver: what the printer is and what it takes.
#pragma once

#include <pappl/pappl.h>

#include <span>

// The drivers the application offers: one, the 203 dpi printer with its
// 832-dot head.
inline constexpr const char *kDriverName = "thermal-label-203";
// The list of drivers; PAPPL 1.3 takes it by a non-const pointer and only
// reads it (DriverList()).
extern const pappl_pr_driver_t LabelDrivers[1];

// 'DriverList()' - LabelDrivers as PAPPL takes it.
inline pappl_pr_driver_t *DriverList() { return const_cast<pappl_pr_driver_t *>(LabelDrivers); }

// A page size the printer takes: its PWG name and the web page's name for it.
struct MediaSize {
  const char *name;
  const char *label;
};

// 'LabelMedia()' - The printer's page sizes, in the order the web page
// shows them.
std::span<const MediaSize> LabelMedia();

// 'LabelDriverCallback()' - Fill in the driver data and the vendor
// attributes of a new printer.
bool LabelDriverCallback(pappl_system_t *system, const char *driver_name, const char *device_uri,
                         const char *device_id, pappl_pr_driver_data_t *data, ipp_t **driver_attrs,
                         void *cbdata);
