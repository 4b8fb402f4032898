// The printers and their defaults, kept from one run of the server to the
// next in a file of the application's own. Every value is written escaped,
// so no text a client sets (a name, a location, a vendor default) can add a
// line or a printer to it; job history is not kept.
#pragma once

#include <pappl/pappl.h>

#include <string>

// 'LoadState()' - Bring back the system's settings and the printers with
// their defaults from 'path', before the server runs. A file that cannot be
// read whole is moved aside to PATH.unreadable with an error in the log,
// and the server starts without printers; false when it cannot be moved, so
// that nothing is saved over it. A state file PAPPL itself wrote (an
// earlier version of the application) is loaded once, unless a line of it is
// broken, and saved anew in the application's own form.
bool LoadState(pappl_system_t *system, const std::string &path);

// 'SaveState()' - Write the system's settings and every printer with its
// defaults to 'path' (mode 0600, replaced whole). A vendor default the
// printer does not take is set back to its built-in value first, with an
// error in the log.
bool SaveState(pappl_system_t *system, const std::string &path);
