#include "gray_png.h"

#include "printer_model.h"

#include <png.h>

namespace {

// libpng reports its errors with a longjmp: the calls that can fail live in
// a frame without C++ objects to unwind.
bool WritePixels(png_structp png, png_infop info, FILE *f, const labels::GrayCanvas &canvas) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(canvas.width), png_uint_32(canvas.height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, kDotsPerMetre, kDotsPerMetre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < canvas.height; ++y)
    png_write_row(png, canvas.pixels.data() + size_t(y) * size_t(canvas.width));
  png_write_end(png, info);
  return true;
}

} // namespace

bool WriteGrayPng(FILE *f, const labels::GrayCanvas &canvas) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool ok = info != nullptr && WritePixels(png, info, f, canvas);
  png_destroy_write_struct(&png, &info);
  return ok;
}
