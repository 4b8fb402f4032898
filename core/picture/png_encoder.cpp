#include "png_encoder.h"

#include "printer_model.h"

#include <png.h>

#include <new>
#include <utility>

namespace preview {

namespace {

// 'NoFlush()' - There is nothing to flush in memory.
void NoFlush(png_structp) {}

// libpng's warnings (none are expected) stay quiet; its errors become a
// failed step.
void IgnoreWarning(png_structp, png_const_charp) {}

// libpng reports its errors with a longjmp to the last setjmp. Every call
// that can fail gets its own small frame without C++ objects to unwind.

bool StartPicture(png_structp png, png_infop info, unsigned width, unsigned height, int bitDepth,
                  bool dotsAreOnes) {
  if (setjmp(png_jmpbuf(png)))
    return false;
  png_set_IHDR(png, info, width, height, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, kDotsPerMetre, kDotsPerMetre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  // In a gray PNG 0 is black.
  if (dotsAreOnes)
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

} // namespace

// No memory is libpng's error, raised outside the C++ handler.
void PngEncoder::KeepBytes(png_structp png, png_bytep data, size_t length) {
  auto *encoder = static_cast<PngEncoder *>(png_get_io_ptr(png));
  bool failed = false;
  try {
    encoder->bytes_.insert(encoder->bytes_.end(), data, data + length);
  } catch (const std::bad_alloc &) {
    failed = true;
  }
  if (failed)
    png_error(png, "out of memory");
}

PngEncoder::PngEncoder() {
  png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  info_ = png_ ? png_create_info_struct(png_) : nullptr;
  ok_ = info_ != nullptr;
  if (ok_)
    png_set_write_fn(png_, this, KeepBytes, NoFlush);
}

PngEncoder::~PngEncoder() { png_destroy_write_struct(&png_, &info_); }

bool PngEncoder::Start(unsigned width, unsigned height, int bitDepth, bool dotsAreOnes) {
  ok_ = ok_ && StartPicture(png_, info_, width, height, bitDepth, dotsAreOnes);
  return ok_;
}

bool PngEncoder::Row(const uint8_t *row) {
  ok_ = ok_ && WriteRow(png_, row);
  return ok_;
}

std::optional<std::vector<uint8_t>> PngEncoder::Finish() {
  ok_ = ok_ && EndPicture(png_, info_);
  if (!ok_)
    return std::nullopt;
  return std::move(bytes_);
}

} // namespace preview
