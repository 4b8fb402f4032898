// labeldrawings: the maintenance labels as 8-bit gray PNG pictures, to look
// at the drawing before the engine turns it into printer dots.
//
//   labeldrawings WIDTH HEIGHT DIR
//
// writes DIR/self-test-WIDTHxHEIGHT.png and DIR/alignment-WIDTHxHEIGHT.png.
#include "labels/maintenance_labels.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
  png_set_pHYs(png, info, 7992, 7992, PNG_RESOLUTION_METER); // 203 dpi
  png_write_info(png, info);
  for (int y = 0; y < canvas.height; ++y)
    png_write_row(png, canvas.pixels.data() + size_t(y) * size_t(canvas.width));
  png_write_end(png, info);
  return true;
}

// 'WritePng()' - The canvas as a gray PNG file; false when it cannot be written.
bool WritePng(const std::string &path, const labels::GrayCanvas &canvas) {
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr)
    return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr && WritePixels(png, info, f, canvas);
  png_destroy_write_struct(&png, &info);
  ok = fclose(f) == 0 && ok;
  return ok;
}

} // namespace

int main(int argc, char *argv[]) {
  const int width = argc == 4 ? atoi(argv[1]) : 0;
  const int height = argc == 4 ? atoi(argv[2]) : 0;
  if (width < 1 || width > 16384 || height < 1 || height > 16384) {
    fprintf(stderr, "usage: labeldrawings WIDTH HEIGHT DIR (1 to 16384 dots)\n");
    return 2;
  }
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  const std::string dir = argv[3];

  // The printer's settings as a queue that chose a few of them lists them.
  labels::SelfTestContent content;
  content.printerName = "Label";
  content.settings = {{"Darkness", "8"},
                      {"Print speed", "4"},
                      {"Print pressure", std::nullopt},
                      {"Head temperature", std::nullopt},
                      {"Head offset", std::nullopt},
                      {"Edge enhancement", "on"},
                      {"Edge enhancement length", "3"},
                      {"Upward offset", std::nullopt}};

  const std::string selfTest = dir + "/self-test-" + size + ".png";
  const std::string alignment = dir + "/alignment-" + size + ".png";
  if (!WritePng(selfTest, labels::DrawSelfTestLabel(content, width, height)) ||
      !WritePng(alignment, labels::DrawAlignmentLabel(width, height))) {
    fprintf(stderr, "labeldrawings: cannot write the pictures into %s\n", dir.c_str());
    return 1;
  }
  printf("%s\n%s\n", selfTest.c_str(), alignment.c_str());
  return 0;
}
