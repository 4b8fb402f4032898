// Debugging dumps of the last page under /tmp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <sys/types.h>

// Closing a dump cuts the file to what this page wrote into it, when the
// earlier dump was longer. The file is not emptied at the open: emptying a
// file that still holds the previous page makes the file system wait for
// the disk on every page.
struct DumpFileCloser {
  off_t sizeAtOpen = 0;
  void operator()(FILE *f) const;
};
using FilePtr = std::unique_ptr<FILE, DumpFileCloser>;

// 'OpenDumpFile()' - Open a dump file for binary writing from its start; the
// rest of an earlier dump goes when the file is closed. The path is never
// followed through a symlink, anything but a regular file of the filter's own
// user with a single link is left alone, and the file is readable by its
// owner only. Returns null (with errno set)
// when the dump cannot be written; the caller then skips it.
FilePtr OpenDumpFile(const char *path);

// 'WriteDump()' - Write a whole buffer to an open dump with as few system
// calls as the kernel allows; whatever the stream holds is written first.
// A dump that fails part way is left as it is.
void WriteDump(FILE *f, std::span<const uint8_t> bytes);
