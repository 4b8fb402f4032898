// Debugging dumps of the last page under /tmp.
#pragma once

#include <cstdio>
#include <memory>

// Closing a dump cuts the file to what this page wrote into it. The file is
// not emptied at the open: emptying a file that still holds the previous
// page makes the file system wait for the disk on every page.
struct DumpFileCloser {
  void operator()(FILE *f) const;
};
using FilePtr = std::unique_ptr<FILE, DumpFileCloser>;

// 'OpenDumpFile()' - Open a dump file for binary writing from its start; the
// rest of an earlier dump goes when the file is closed. The path is never
// followed through a symlink, anything but a regular file is left alone, and
// a new file is readable by its owner only. Returns null (with errno set)
// when the dump cannot be written; the caller then skips it.
FilePtr OpenDumpFile(const char *path);
