// A gray PNG picture written into memory, row by row, at the printer's
// resolution (printer_model.h). libpng hands its bytes to a callback that
// keeps them: nothing here opens or writes a file; the caller does with the
// bytes what it wants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct png_struct_def;
struct png_info_def;

namespace preview {

// A PNG being written: Start(), each row with Row(), then Finish(). Once a
// step fails (libpng's error, or no memory) the picture is lost and every
// later step fails too.
class PngEncoder {
public:
  PngEncoder();
  ~PngEncoder();
  PngEncoder(const PngEncoder &) = delete;
  PngEncoder &operator=(const PngEncoder &) = delete;

  // 'Start()' - A gray picture of 'width' x 'height' pixels of 'bitDepth'
  // (1 or 8) bits. 'dotsAreOnes': 1-bit rows carry 1 for a black dot.
  bool Start(unsigned width, unsigned height, int bitDepth, bool dotsAreOnes);
  // 'Row()' - The next row, top row first, in the picture's bit depth.
  bool Row(const uint8_t *row);
  // 'Finish()' - The picture's bytes, or nothing when a step failed.
  std::optional<std::vector<uint8_t>> Finish();

private:
  // 'KeepBytes()' - libpng's write callback: its bytes go on the end of
  // the picture.
  static void KeepBytes(png_struct_def *png, uint8_t *data, size_t length);

  std::vector<uint8_t> bytes_;
  png_struct_def *png_ = nullptr;
  png_info_def *info_ = nullptr;
  bool ok_ = false;
};

} // namespace preview
