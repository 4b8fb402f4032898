// 'stream_check' - Read a printer command stream back, command by command.
//
//   stream_check STREAM [--pbm OUT.pbm] [--same-as REFERENCE.pbm]
//
// Prints one line per command to standard output:
//
//   setting NAME N   0x19 code n, with the name of the printer setting
//   band W           GS v 0 raster band, W bytes wide and 24 rows high
//   blank            GS v 0 band one byte wide without dots (paper advance)
//   feed N           ESC J n
//   cut              GS V 0
//
// and exits 2, naming the offset, at the first byte that starts none of them,
// at a band whose height or mode is not the filter's, or at a truncated
// command. --pbm writes the dots of the stream's bands as a PBM picture (a
// blank band is 24 white rows). --same-as compares those dots with a PBM
// picture of the page and exits 1 when a dot differs; the page's rows past the
// stream's last band must then be white, since the printer is not sent them.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kBandRows = 24;

// The settings commands: code byte and the printer setting it carries.
struct Setting {
  uint8_t code;
  const char *name;
};
constexpr Setting kSettings[] = {
    {0x02, "PrintPressure"}, {0x0A, "PrintHeaderHeatingTemp"}, {0x0C, "PrintHeaderOffset"},
    {0x0D, "EdageEnhance"},  {0x0E, "EdageEnhanceLength"},     {0x11, "PrintSpeed"},
    {0x12, "Darkness"},      {0x13, "UpwardOffset"},
};

// A picture of dots, one bit per dot, rows of 'widthBytes' bytes, 1 = black,
// leftmost dot in the most significant bit.
struct Dots {
  int widthBytes = 0;
  std::vector<std::vector<uint8_t>> rows;
};

std::optional<std::vector<uint8_t>> ReadFile(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f)
    return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  return bytes;
}

// 'Decode()' - Walk the stream, print its commands and collect its dots.
bool Decode(const std::vector<uint8_t> &s, Dots &dots) {
  size_t at = 0;
  auto fail = [&](const char *what) {
    fprintf(stderr, "stream_check: %s at offset %zu\n", what, at);
    return false;
  };
  auto has = [&](size_t n) { return s.size() - at >= n; };
  auto startsWith = [&](std::initializer_list<uint8_t> bytes) {
    if (!has(bytes.size()))
      return false;
    return std::equal(bytes.begin(), bytes.end(), s.begin() + long(at));
  };

  while (at < s.size()) {
    if (s[at] == 0x19) {
      if (!has(3))
        return fail("truncated settings command");
      const Setting *setting = nullptr;
      for (const Setting &candidate : kSettings)
        if (candidate.code == s[at + 1])
          setting = &candidate;
      if (!setting)
        return fail("unknown settings code");
      printf("setting %s %u\n", setting->name, unsigned(s[at + 2]));
      at += 3;
    } else if (startsWith({0x1D, 0x76})) {
      if (!has(8))
        return fail("truncated band header");
      if (s[at + 2] != 0x30 || s[at + 3] != 0x00)
        return fail("band is not GS v 0 in mode 0");
      if (s[at + 6] != kBandRows || s[at + 7] != 0)
        return fail("band is not 24 rows high");
      const int width = s[at + 4] | s[at + 5] << 8;
      if (width == 0)
        return fail("band of width 0");
      const size_t size = size_t(width) * kBandRows;
      at += 8;
      if (!has(size))
        return fail("truncated band data");
      const auto data = s.begin() + long(at);
      const bool dotless = std::all_of(data, data + long(size), [](uint8_t b) { return b == 0; });
      if (width == 1 && dotless) {
        printf("blank\n");
        for (int r = 0; r < kBandRows; ++r)
          dots.rows.emplace_back(); // widened below
      } else {
        printf("band %d\n", width);
        for (int r = 0; r < kBandRows; ++r)
          dots.rows.emplace_back(data + long(r) * width, data + long(r + 1) * width);
        dots.widthBytes = std::max(dots.widthBytes, width);
      }
      at += size;
    } else if (startsWith({0x1B, 0x4A})) {
      if (!has(3))
        return fail("truncated feed");
      if (s[at + 2] == 0)
        return fail("feed of 0 rows");
      printf("feed %u\n", unsigned(s[at + 2]));
      at += 3;
    } else if (startsWith({0x1D, 0x56})) {
      if (!has(3))
        return fail("truncated cut");
      if (s[at + 2] != 0)
        return fail("cut is not GS V 0");
      printf("cut\n");
      at += 3;
    } else {
      return fail("unknown command byte");
    }
  }
  for (auto &row : dots.rows)
    row.resize(size_t(dots.widthBytes), 0);
  return true;
}

// 'WritePbm()' - Write the dots as a raw PBM picture.
bool WritePbm(const char *path, const Dots &dots) {
  FILE *f = fopen(path, "wb");
  if (!f)
    return false;
  fprintf(f, "P4\n%d %zu\n", dots.widthBytes * 8, dots.rows.size());
  for (const auto &row : dots.rows)
    fwrite(row.data(), 1, row.size(), f);
  return fclose(f) == 0;
}

// 'ReadPbm()' - Read a raw PBM picture (P4, as ghostscript writes it).
std::optional<Dots> ReadPbm(const char *path, int &width) {
  auto bytes = ReadFile(path);
  if (!bytes)
    return std::nullopt;
  // Header: "P4", white space, width, white space, height, one white space.
  size_t at = 0;
  auto token = [&]() {
    std::string t;
    while (at < bytes->size()) {
      const char c = char((*bytes)[at]);
      if (c == '#') {
        while (at < bytes->size() && (*bytes)[at] != '\n')
          ++at;
      } else if (isspace(static_cast<unsigned char>(c))) {
        ++at;
        if (!t.empty())
          return t;
      } else {
        t += c;
        ++at;
      }
    }
    return t;
  };
  if (token() != "P4")
    return std::nullopt;
  width = std::stoi(token());
  const int height = std::stoi(token());
  Dots dots;
  dots.widthBytes = (width + 7) / 8;
  if (bytes->size() - at < size_t(dots.widthBytes) * size_t(height))
    return std::nullopt;
  for (int r = 0; r < height; ++r) {
    auto row = bytes->begin() + long(at) + long(r) * dots.widthBytes;
    dots.rows.emplace_back(row, row + dots.widthBytes);
  }
  return dots;
}

// 'Differences()' - Count the dots in which the stream and the page differ.
// The stream's rows may be wider (row padding) and fewer (white rows at the
// end are not sent) than the page's; padding and missing rows must be white.
long Differences(const Dots &stream, const Dots &page, int pageWidth) {
  long differing = 0;
  const size_t rows = std::max(stream.rows.size(), page.rows.size());
  const int width = std::max(stream.widthBytes * 8, pageWidth);
  for (size_t r = 0; r < rows; ++r) {
    for (int x = 0; x < width; ++x) {
      auto dot = [&](const Dots &d, int w) {
        if (r >= d.rows.size() || x >= w)
          return false;
        return ((d.rows[r][size_t(x / 8)] >> (7 - x % 8)) & 1) != 0;
      };
      if (dot(stream, stream.widthBytes * 8) != dot(page, pageWidth))
        ++differing;
    }
  }
  return differing;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: stream_check STREAM [--pbm OUT.pbm] [--same-as REFERENCE.pbm]\n");
    return 2;
  }
  const char *pbmOut = nullptr;
  const char *reference = nullptr;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--pbm") == 0)
      pbmOut = argv[i + 1];
    else if (strcmp(argv[i], "--same-as") == 0)
      reference = argv[i + 1];
  }

  auto stream = ReadFile(argv[1]);
  if (!stream) {
    fprintf(stderr, "stream_check: cannot read %s\n", argv[1]);
    return 2;
  }
  Dots dots;
  if (!Decode(*stream, dots))
    return 2;
  if (pbmOut && !WritePbm(pbmOut, dots)) {
    fprintf(stderr, "stream_check: cannot write %s\n", pbmOut);
    return 2;
  }
  if (reference) {
    int pageWidth = 0;
    auto page = ReadPbm(reference, pageWidth);
    if (!page) {
      fprintf(stderr, "stream_check: cannot read the PBM picture %s\n", reference);
      return 2;
    }
    const long differing = Differences(dots, *page, pageWidth);
    if (differing != 0) {
      fprintf(stderr, "stream_check: %ld dots differ from %s\n", differing, reference);
      return 1;
    }
  }
  return 0;
}
