// labeldrawings: the maintenance labels as 8-bit gray PNG pictures, to look
// at the drawing before the engine turns it into printer dots.
//
//   labeldrawings WIDTH HEIGHT DIR
//
// writes DIR/self-test-WIDTHxHEIGHT.png and DIR/alignment-WIDTHxHEIGHT.png.
#include "gray_png.h"
#include "labels/maintenance_labels.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// 'WritePng()' - The canvas as a gray PNG file; false when it cannot be written.
bool WritePng(const std::string &path, const labels::GrayCanvas &canvas) {
  const std::optional<std::vector<uint8_t>> png = preview::EncodeGrayPng(canvas);
  if (!png)
    return false;
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr)
    return false;
  const bool ok = fwrite(png->data(), 1, png->size(), f) == png->size();
  return fclose(f) == 0 && ok;
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
