// Printers found on the network by DNS-SD need avahi-daemon. Without it,
// PAPPL 1.3's own dnssd scheme aborts the whole process as soon as it
// browses (the web page's Add Printer, the devices sub-command) or opens a
// dnssd:// printer; the application then puts a dnssd scheme of its own in
// its place.
#pragma once

// 'AddDnssdFallback()' - When avahi-daemon cannot be reached, register a
// dnssd scheme that finds no printers and opens none, and says that network
// discovery needs avahi-daemon; PAPPL then skips its own. Called before
// PAPPL's network schemes are added; true when the fallback was registered.
bool AddDnssdFallback();
