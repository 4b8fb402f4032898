#include "png_output.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace preview {

namespace {

// libpng reports its errors with a longjmp to the last setjmp. Every call that
// can fail gets its own small frame without C++ objects to unwind.

bool StartPicture(png_structp png, png_infop info, FILE *f, unsigned width, unsigned height) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, kPixelsPerMetre, kPixelsPerMetre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  // The rows carry 1 for a dot; in a gray PNG 0 is black.
  png_set_invert_mono(png);
  return true;
}

bool WriteRow(png_structp png, const uint8_t *row) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_write_row(png, row);
  return true;
}

bool EndPicture(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_write_end(png, info);
  return true;
}

// libpng's warnings (none are expected) stay quiet; its errors become a failed
// call of the functions above.
void IgnoreWarning(png_structp, png_const_charp) {}

// A new file beside 'path' that nobody else has opened, to be renamed into
// its place: an existing file of that name, or a link planted there, is
// never written through. Null, with errno set, when none can be made.
FILE *CreatePictureFile(const std::string &path, std::string &tempPath) {
  tempPath = path + ".XXXXXX";
  const int fd = mkstemp(tempPath.data());
  if (fd < 0)
    return nullptr;
  const mode_t mask = umask(0);
  umask(mask);
  FILE *f = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "wb") : nullptr;
  if (f == nullptr) {
    const int saved = errno;
    close(fd);
    unlink(tempPath.c_str());
    errno = saved;
  }
  return f;
}

// The dots of a label, rows of 'stride' bytes, leftmost dot in the top bit,
// 1 = dot.
struct Dots {
  size_t width = 0;
  size_t height = 0;
  size_t stride = 0;
  std::vector<uint8_t> bits;

  Dots(size_t w, size_t h) : width(w), height(h), stride((w + 7) / 8), bits(stride * h) {}
  bool At(size_t x, size_t y) const { return (bits[y * stride + x / 8] >> (7 - x % 8)) & 1; }
  void Set(size_t x, size_t y) { bits[y * stride + x / 8] |= uint8_t(0x80 >> (x % 8)); }
};

// 'TurnedClockwise()' - The dots turned clockwise by 1 to 3 quarter turns.
// A quarter turn takes the top left dot to the top right, the left column to
// the top row.
Dots TurnedClockwise(const Dots &paper, int quarterTurns) {
  const size_t w = paper.width, h = paper.height;
  Dots turned = quarterTurns == 2 ? Dots(w, h) : Dots(h, w);
  for (size_t y = 0; y < turned.height; ++y)
    for (size_t x = 0; x < turned.width; ++x) {
      const bool dot = quarterTurns == 1   ? paper.At(y, h - 1 - x)
                       : quarterTurns == 2 ? paper.At(w - 1 - x, h - 1 - y)
                                           : paper.At(w - 1 - y, x);
      if (dot)
        turned.Set(x, y);
    }
  return turned;
}

// 'WriteLabel()' - The label's rows into the picture, turned as asked.
bool WriteLabel(png_structp png, png_infop info, FILE *f, std::span<const Command> commands,
                const Label &label, unsigned widthBytes, int quarterTurns) {
  const auto write = [png](std::span<const uint8_t> row) { return WriteRow(png, row.data()); };
  if (quarterTurns == 0)
    return StartPicture(png, info, f, widthBytes * 8, static_cast<unsigned>(label.rows)) &&
           DrawLabel(commands, label, widthBytes, write) && EndPicture(png, info);

  // Turned, the picture needs the whole label first.
  Dots paper(size_t{widthBytes} * 8, label.rows);
  uint8_t *next = paper.bits.data();
  DrawLabel(commands, label, widthBytes, [&next](std::span<const uint8_t> row) {
    next = std::copy(row.begin(), row.end(), next);
    return true;
  });
  const Dots turned = TurnedClockwise(paper, quarterTurns);
  if (!StartPicture(png, info, f, static_cast<unsigned>(turned.width),
                    static_cast<unsigned>(turned.height)))
    return false;
  for (size_t y = 0; y < turned.height; ++y)
    if (!write(std::span(turned.bits).subspan(y * turned.stride, turned.stride)))
      return false;
  return EndPicture(png, info);
}

} // namespace

std::string WriteLabelPng(const std::string &path, std::span<const Command> commands,
                          const Label &label, unsigned widthBytes, int quarterTurns) {
  if (label.rows > kMostPictureRows)
    return "the label is " + std::to_string(label.rows) + " rows long; a picture holds at most " +
           std::to_string(kMostPictureRows);
  // Only a regular file is replaced by the picture.
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return "cannot write " + path + ": " +
           (S_ISLNK(st.st_mode) ? "it is a symbolic link" : "it is not a regular file");
  std::string tempPath;
  FILE *f = CreatePictureFile(path, tempPath);
  if (f == nullptr)
    return "cannot write " + path + ": " + strerror(errno);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;

  bool ok = info != nullptr && WriteLabel(png, info, f, commands, label, widthBytes, quarterTurns);
  png_destroy_write_struct(&png, &info);
  ok = fclose(f) == 0 && ok;
  if (ok && rename(tempPath.c_str(), path.c_str()) != 0) {
    const std::string problem = "cannot write " + path + ": " + strerror(errno);
    unlink(tempPath.c_str());
    return problem;
  }
  if (!ok) {
    unlink(tempPath.c_str());
    return "cannot write " + path;
  }
  return "";
}

} // namespace preview
