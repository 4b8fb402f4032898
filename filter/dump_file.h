// Debugging dumps of the last page under /tmp.
#pragma once

#include <cstdio>
#include <memory>

struct FileCloser {
  void operator()(FILE *f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// 'OpenDumpFile()' - Open a dump file for binary writing, replacing an earlier
// one. The path is never followed through a symlink and a new file is made
// readable by its owner only. Returns null (with errno set) when the dump
// cannot be written; the caller then skips it.
FilePtr OpenDumpFile(const char *path);
