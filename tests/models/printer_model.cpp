#include "models/printer_model.h"

#include "models/conversion_model.h"

#include <cups/cups.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace e2e {

using testsupport::RasterPage;

namespace {

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Address(bool made) { return made ? "<addr>" : "0"; }

// A page in the model's working form: rows of 'stride' bytes held one entry
// per bit, most significant bit first; 1 is white, 0 is black.
struct PackedPage {
  int stride;
  int rows;
  std::vector<uint8_t> bits;

  PackedPage(int s, int r) : stride(s), rows(r), bits(size_t(s) * 8 * size_t(r), 1) {}
  uint8_t &At(int row, int column) {
    return bits[(size_t(row) * size_t(stride)) * 8 + size_t(column)];
  }
  uint8_t Byte(int row, int index) {
    uint8_t value = 0;
    for (int bit = 0; bit < 8; ++bit)
      value = uint8_t(value << 1 | At(row, index * 8 + bit));
    return value;
  }
};

bool ChoiceIs(const Marked &marked, const std::string &option, const char *keyword) {
  const std::string *choice = Choice(marked, option);
  return choice != nullptr && strcasecmp(choice->c_str(), keyword) == 0;
}

// A choice keyword read as a decimal number, as strtol reads it.
long Number(const std::string &keyword) { return std::strtol(keyword.c_str(), nullptr, 10); }

int Direction(const Marked &marked) {
  if (ChoiceIs(marked, "Origin", "Rotation90"))
    return 1;
  if (ChoiceIs(marked, "Origin", "Rotation180"))
    return 2;
  if (ChoiceIs(marked, "Origin", "Rotation270"))
    return 3;
  return 0; // Rotation0, any other keyword, or none
}

struct Setting {
  const char *option;
  uint8_t code;
};
constexpr Setting kSettings[] = {
    {"PrintPressure", 0x02}, {"PrintHeaderHeatingTemp", 0x0A}, {"PrintHeaderOffset", 0x0C},
    {"EdageEnhance", 0x0D},  {"EdageEnhanceLength", 0x0E},     {"PrintSpeed", 0x11},
    {"Darkness", 0x12},      {"UpwardOffset", 0x13},
};

// Feed lengths after printing, in units of 30, for the choices 1 to 13.
constexpr int kFeedUnits[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 18, 24};

// One page worked out: the stream of one copy and what the traces report.
struct PageWork {
  std::vector<uint8_t> stream;
  int firstStride = 0;   // nImageWidth before the transforms
  int rowsSent = 0;      // nImageHeight after the transforms
  int settingsBytes = 0; // nOffset after the settings commands
  int direction = 0;
  bool mirror = false;
  bool negative = false;
  std::vector<std::string> settingLines;
  std::vector<std::string> conversionLines; // of gray and colour pages
};

PageWork WorkPage(const Marked &marked, const cups_page_header2_t &h,
                  const std::vector<uint8_t> &lines, unsigned linesRead) {
  PageWork work;
  const int width = int(h.cupsWidth);
  const bool oneBit = h.cupsBitsPerPixel == 1;
  const int stride = oneBit ? int(h.cupsBytesPerLine) : (width + 31) / 32 * 4;
  const int height = int(linesRead);
  work.firstStride = stride;
  work.direction = Direction(marked);
  work.mirror = ChoiceIs(marked, "MirrorImage", "True");
  work.negative = ChoiceIs(marked, "NegativeImage", "True");

  // The working form has 1 = white: a 1-bit raster (1 = black) is
  // complemented into it, padding included, and complemented back below
  // unless NegativeImage is chosen, so that it goes out in its own polarity.
  // Gray and colour pages are converted into packed rows of whole 32-bit
  // words, 1 = white already.
  std::vector<uint8_t> packed = lines;
  if (!oneBit) {
    ConvertedPage converted = ConvertPage(h, lines, linesRead, Choice(marked, "Dithering"));
    work.conversionLines = converted.lines;
    packed = converted.packed;
  }
  PackedPage page(stride, height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < stride * 8; ++c) {
      const int bit = (packed[size_t(r) * size_t(stride) + size_t(c / 8)] >> (7 - c % 8)) & 1;
      page.At(r, c) = uint8_t(oneBit ? 1 - bit : bit);
    }
  int pictureWidth = width;

  if (work.direction == 0) {
    // Half turn: the pixel at (r, c) goes to (H-1-r, W-1-c); padding white.
    PackedPage turned(stride, height);
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c)
        turned.At(height - 1 - r, width - 1 - c) = page.At(r, c);
    page = turned;
  } else if (work.direction == 1 || work.direction == 3) {
    // Clockwise quarter turn: the pixel at (r, c) goes to (c, H-1-r); the new
    // page has W rows of H pixels.
    PackedPage turned((height + 31) / 32 * 4, width);
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c)
        turned.At(c, height - 1 - r) = page.At(r, c);
    page = turned;
    pictureWidth = height;
  }
  if (work.mirror) {
    PackedPage mirrored(page.stride, page.rows);
    for (int r = 0; r < page.rows; ++r)
      for (int c = 0; c < pictureWidth; ++c)
        mirrored.At(r, pictureWidth - 1 - c) = page.At(r, c);
    page = mirrored;
  }
  if (!work.negative)
    for (uint8_t &bit : page.bits)
      bit = uint8_t(1 - bit);
  work.rowsSent = page.rows;

  std::vector<uint8_t> &s = work.stream;
  for (const Setting &setting : kSettings) {
    if (const std::string *choice = Choice(marked, setting.option)) {
      s.insert(s.end(), {0x19, setting.code, uint8_t(Number(*choice) & 0xFF)});
      work.settingLines.push_back(Format("ERROR: %s=%s", setting.option, choice->c_str()));
    }
  }
  work.settingsBytes = int(s.size());

  // Bands of 24 rows; a group of rows without a dot is a blank band when a
  // later group has dots, and nothing at all when none has.
  const int groups = (page.rows + 23) / 24;
  auto groupHasDots = [&](int g) {
    for (int r = g * 24; r < std::min(g * 24 + 24, page.rows); ++r)
      for (int b = 0; b < page.stride; ++b)
        if (page.Byte(r, b) != 0)
          return true;
    return false;
  };
  int lastGroupWithDots = -1;
  for (int g = 0; g < groups; ++g)
    if (groupHasDots(g))
      lastGroupWithDots = g;
  for (int g = 0; g <= lastGroupWithDots; ++g) {
    if (groupHasDots(g)) {
      s.insert(s.end(), {0x1D, 0x76, 0x30, 0x00, uint8_t(page.stride % 256),
                         uint8_t(page.stride / 256), 0x18, 0x00});
      for (int r = g * 24; r < g * 24 + 24; ++r)
        for (int b = 0; b < page.stride; ++b)
          s.push_back(r < page.rows ? page.Byte(r, b) : 0);
    } else {
      s.insert(s.end(), {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x18, 0x00});
      s.insert(s.end(), 24, 0x00);
    }
  }

  if (const std::string *feed = Choice(marked, "FeedAfterPrinting")) {
    long n = Number(*feed);
    if (n > 0) {
      // Choices beyond the table feed as far as the longest one.
      int distance = kFeedUnits[std::min(n, 13L) - 1] * 30;
      for (int i = 0; i < distance / 255; ++i)
        s.insert(s.end(), {0x1B, 0x4A, 0xFF});
      if (distance % 255 > 0)
        s.insert(s.end(), {0x1B, 0x4A, uint8_t(distance % 255)});
    }
  }
  if (ChoiceIs(marked, "Cutting", "1"))
    s.insert(s.end(), {0x1D, 0x56, 0x00});
  return work;
}

} // namespace

const std::string *Choice(const Marked &marked, const std::string &option) {
  auto it = marked.find(option);
  return it == marked.end() ? nullptr : &it->second;
}

Marked With(Marked marked, std::initializer_list<std::pair<const std::string, std::string>> more) {
  for (const auto &[option, choice] : more)
    marked[option] = choice;
  return marked;
}

unsigned LinesIn(const RasterPage &page) {
  return unsigned(page.lines.size() / page.header.cupsBytesPerLine);
}

std::vector<uint8_t> PageStream(const Marked &marked, const RasterPage &page,
                                std::optional<unsigned> linesRead) {
  return WorkPage(marked, page.header, page.lines, linesRead.value_or(LinesIn(page))).stream;
}

std::vector<std::string> HeaderLines(const cups_page_header2_t &h) {
  // Each field as the int "%d" shows, read as its four bytes: a stream may
  // carry values that none of the field's enumerators has.
  auto d = [](const auto &field) {
    static_assert(sizeof field == 4);
    int value;
    std::memcpy(&value, &field, 4);
    return value;
  };
  // A text field up to its first NUL, all of it when it has none; every byte
  // but printable ASCII shown as '?'.
  auto text = [](const char(&field)[64]) {
    std::string shown(field, strnlen(field, 64));
    for (char &c : shown)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
        c = '?';
    return shown;
  };
  return {
      "ERROR: StartPage...",
      "DEBUG: MediaClass = \"" + text(h.MediaClass) + "\"",
      "DEBUG: MediaColor = \"" + text(h.MediaColor) + "\"",
      "DEBUG: MediaType = \"" + text(h.MediaType) + "\"",
      "DEBUG: OutputType = \"" + text(h.OutputType) + "\"",
      Format("DEBUG: AdvanceDistance = %d", d(h.AdvanceDistance)),
      Format("DEBUG: AdvanceMedia = %d", d(h.AdvanceMedia)),
      Format("DEBUG: Collate = %d", d(h.Collate)),
      Format("DEBUG: CutMedia = %d", d(h.CutMedia)),
      Format("DEBUG: Duplex = %d", d(h.Duplex)),
      Format("DEBUG: HWResolution = [ %d %d ]", d(h.HWResolution[0]), d(h.HWResolution[1])),
      Format("DEBUG: ImagingBoundingBox = [ %d %d %d %d ]", d(h.ImagingBoundingBox[0]),
             d(h.ImagingBoundingBox[1]), d(h.ImagingBoundingBox[2]), d(h.ImagingBoundingBox[3])),
      Format("DEBUG: InsertSheet = %d", d(h.InsertSheet)),
      Format("DEBUG: Jog = %d", d(h.Jog)),
      Format("DEBUG: LeadingEdge = %d", d(h.LeadingEdge)),
      Format("DEBUG: Margins = [ %d %d ]", d(h.Margins[0]), d(h.Margins[1])),
      Format("DEBUG: ManualFeed = %d", d(h.ManualFeed)),
      Format("DEBUG: MediaPosition = %d", d(h.MediaPosition)),
      Format("DEBUG: MediaWeight = %d", d(h.MediaWeight)),
      Format("DEBUG: MirrorPrint = %d", d(h.MirrorPrint)),
      Format("DEBUG: NegativePrint = %d", d(h.NegativePrint)),
      Format("DEBUG: NumCopies = %d", d(h.NumCopies)),
      Format("ERROR: Orientation = %d", d(h.Orientation)),
      Format("DEBUG: OutputFaceUp = %d", d(h.OutputFaceUp)),
      Format("ERROR: PageSize = [ %d %d ]", d(h.PageSize[0]), d(h.PageSize[1])),
      Format("DEBUG: Separations = %d", d(h.Separations)),
      Format("DEBUG: TraySwitch = %d", d(h.TraySwitch)),
      Format("DEBUG: Tumble = %d", d(h.Tumble)),
      Format("ERROR: cupsWidth = %d", d(h.cupsWidth)),
      Format("ERROR: cupsHeight = %d", d(h.cupsHeight)),
      Format("DEBUG: cupsMediaType = %d", d(h.cupsMediaType)),
      Format("DEBUG: cupsBitsPerColor = %d", d(h.cupsBitsPerColor)),
      Format("ERROR: cupsBitsPerPixel = %d", d(h.cupsBitsPerPixel)),
      Format("DEBUG: cupsBytesPerLine = %d", d(h.cupsBytesPerLine)),
      Format("DEBUG: cupsColorOrder = %d", d(h.cupsColorOrder)),
      Format("DEBUG: cupsColorSpace = %d", d(h.cupsColorSpace)),
      Format("DEBUG: cupsCompression = %d", d(h.cupsCompression)),
      Format("DEBUG: cupsRowCount = %d", d(h.cupsRowCount)),
      Format("DEBUG: cupsRowFeed = %d", d(h.cupsRowFeed)),
      Format("DEBUG: cupsRowStep = %d", d(h.cupsRowStep)),
  };
}

std::vector<std::string> PageLines(const Marked &marked, const RasterPage &page, int pageNumber,
                                   std::optional<unsigned> linesReadOrAll) {
  const cups_page_header2_t &h = page.header;
  const unsigned linesRead = linesReadOrAll.value_or(LinesIn(page));
  std::vector<std::string> out = {Format("ERROR: Starting page = %d 1 time=<time>", pageNumber)};
  for (std::string &line : HeaderLines(h))
    out.push_back(std::move(line));

  // A progress report before every 16th line the filter asks for, the line
  // that finds the page's end included.
  for (unsigned y = 0; y < h.cupsHeight; ++y) {
    if (y % 16 == 0)
      out.push_back(Format("ATTR: job-media-progress=%u", y * 100 / h.cupsHeight));
    if (y == linesRead)
      break;
  }

  PageWork work = WorkPage(marked, h, page.lines, linesRead);
  out.insert(out.end(), work.conversionLines.begin(), work.conversionLines.end());
  const bool halfTurn = work.direction == 0;
  const bool quarterTurn = work.direction == 1 || work.direction == 3;
  out.push_back("ERROR: call ProcessData");
  out.push_back(
      Format("ERROR: ProcessData nImageWidth=%d biHeight=%d", work.firstStride, int(linesRead)));
  out.push_back(Format("ERROR: ProcessData nMirror=%d", work.mirror ? 1 : 0));
  out.push_back(Format("ERROR: ProcessData nInverse=%d nDirection=%d", work.negative ? 1 : 0,
                       work.direction));
  out.push_back("ERROR: ProcessDatan Direction == 1 || nDirection == 3");
  if (quarterTurn)
    out.push_back("ERROR: ProcessData Rotate90Degrees");
  out.push_back("ERROR: ProcessDatan nMirror");
  if (work.mirror)
    out.push_back("ERROR: ProcessData MirrorPicture");
  out.push_back(Format("ERROR: ProcessData nInverse=%d", work.negative ? 1 : 0));
  if (!work.negative)
    out.push_back("ERROR: ProcessData nInverse");
  out.push_back("ERROR: ProcessData malloc pData=<addr>");
  out.insert(out.end(), work.settingLines.begin(), work.settingLines.end());
  out.push_back(Format("ERROR: ProcessData nOffset=%d j=0 nImageHeight=%d", work.settingsBytes,
                       work.rowsSent));
  out.push_back("ERROR: ProcessData FeedAfterPrinting");
  out.push_back("ERROR: ProcessData Cutting");
  out.push_back("ERROR: cupsWritePrintData");
  out.push_back(Format("ERROR: save data to MW62-filter DataLength=%d sizeof(nOffset)=4",
                       int(work.stream.size())));
  out.push_back("ERROR: fopen RZ540.data f=<addr> errno=<errno>");
  out.push_back("ERROR: free pMirror=" + Address(work.mirror));
  out.push_back("ERROR: free pBuf180=" + Address(halfTurn));
  out.push_back("ERROR: free pBuf90=" + Address(quarterTurn));
  out.push_back("ERROR: free pData=<addr>");
  out.push_back("ERROR: ProcessData return");
  out.push_back("ERROR: call EndPage");
  out.push_back("ERROR: Enter EndPage");
  out.push_back("ERROR: EndPage Out Canceled=0");
  out.push_back("ERROR: EndPage return");
  return out;
}

std::vector<std::string> CleanupLines(const std::string &options, int inputFd,
                                      bool packedBufferMade) {
  cups_option_t *parsed = nullptr;
  int count = cupsParseOptions(options.c_str(), 0, &parsed);
  cupsFreeOptions(count, parsed);
  return {
      "ERROR: free pDataBuf=" + Address(packedBufferMade),
      Format("ERROR: cupsFreeOptions options=%s num_options=%d", Address(count > 0).c_str(), count),
      "ERROR: cupsRasterClose",
      Format("ERROR: close fd=%d", inputFd),
      "ERROR: ppdClose fd=<addr>",
      "ERROR: KV8830-filter return",
  };
}

Expected ExpectJob(const Job &job) {
  Expected expected;
  int pageNumber = 0;
  bool packedBufferMade = false;
  for (const RasterPage &page : job.pages) {
    packedBufferMade = packedBufferMade || page.header.cupsBitsPerPixel != 1;
    std::vector<uint8_t> stream = PageStream(job.marked, page);
    for (unsigned copy = 0; copy < page.header.NumCopies; ++copy)
      expected.out.insert(expected.out.end(), stream.begin(), stream.end());
    for (std::string &line : PageLines(job.marked, page, ++pageNumber))
      expected.err.push_back(std::move(line));
  }
  if (ChoiceIs(job.marked, "Cutting", "2"))
    expected.out.insert(expected.out.end(), {0x1D, 0x56, 0x00});
  for (std::string &line : CleanupLines(job.options, job.inputFd, packedBufferMade))
    expected.err.push_back(std::move(line));
  expected.exitStatus = job.pages.empty() ? 1 : 0;
  return expected;
}

namespace {

// Whether 'line' has the shape of 'pattern', in which "%d" stands for a
// decimal number, "%x" for a hexadecimal one or "<addr>", "%t" for a number
// or "<time>", and "%s" for the rest of the line.
bool Matches(std::string_view line, std::string_view pattern) {
  while (!pattern.empty()) {
    if (pattern.starts_with("%s"))
      return true;
    if (pattern.size() >= 2 && pattern[0] == '%') {
      const char kind = pattern[1];
      pattern.remove_prefix(2);
      const std::string_view mask = kind == 'x' ? "<addr>" : "<time>";
      if (kind != 'd' && line.starts_with(mask)) {
        line.remove_prefix(mask.size());
        continue;
      }
      size_t n = kind == 'd' && line.starts_with('-') ? 1 : 0;
      const size_t digitsFrom = n;
      while (n < line.size() && (kind == 'x' ? std::isxdigit(static_cast<unsigned char>(line[n]))
                                             : std::isdigit(static_cast<unsigned char>(line[n]))))
        ++n;
      if (n == digitsFrom)
        return false;
      line.remove_prefix(n);
      continue;
    }
    if (line.empty() || line[0] != pattern[0])
      return false;
    line.remove_prefix(1);
    pattern.remove_prefix(1);
  }
  return line.empty();
}

// The shapes of every regular trace of the filter.
std::vector<std::string> RegularTraces() {
  std::vector<std::string> patterns = {
      "ERROR: Starting page = %d 1 time=%t",
      "ATTR: job-media-progress=%d",
      "ERROR: call ProcessData",
      "ERROR: ProcessData nImageWidth=%d biHeight=%d",
      "ERROR: ProcessData nMirror=%d",
      "ERROR: ProcessData nInverse=%d nDirection=%d",
      "ERROR: ProcessDatan Direction == 1 || nDirection == 3",
      "ERROR: ProcessData Rotate90Degrees",
      "ERROR: ProcessDatan nMirror",
      "ERROR: ProcessData MirrorPicture",
      "ERROR: ProcessData nInverse=%d",
      "ERROR: ProcessData nInverse",
      "ERROR: ProcessData malloc pData=%x",
      "ERROR: ProcessData nOffset=%d j=0 nImageHeight=%d",
      "ERROR: ProcessData FeedAfterPrinting",
      "ERROR: ProcessData Cutting",
      "ERROR: cupsWritePrintData",
      "ERROR: save data to MW62-filter DataLength=%d sizeof(nOffset)=4",
      "ERROR: fopen RZ540.data f=%x errno=%s",
      "ERROR: free pMirror=%x",
      "ERROR: free pBuf180=%x",
      "ERROR: free pBuf90=%x",
      "ERROR: free pData=%x",
      "ERROR: ProcessData return",
      "ERROR: call EndPage",
      "ERROR: Enter EndPage",
      "ERROR: EndPage Out Canceled=%d",
      "ERROR: EndPage return",
      "ERROR: BytePerLine =%d ",
      "ERROR: Color2BW nThresholds=%d nLight=%d",
      "ERROR: fopen ImageDithering.bmp ImageFile=%x err=%s",
      "ERROR: free pDataBuf=%x",
      "ERROR: cupsFreeOptions options=%x num_options=%d",
      "ERROR: cupsRasterClose",
      "ERROR: close fd=%d",
      "ERROR: ppdClose fd=%d",
      "ERROR: ppdClose fd=%x",
      "ERROR: KV8830-filter return",
  };
  for (const Setting &setting : kSettings)
    patterns.push_back(std::string("ERROR: ") + setting.option + "=%s");
  // The header lines, with every field turned into a placeholder.
  cups_page_header2_t zero{};
  for (const std::string &line : HeaderLines(zero)) {
    std::string pattern, word;
    auto endWord = [&] {
      pattern += word == "0" ? "%d" : word == "\"\"" ? "%s" : word;
      word.clear();
    };
    for (char c : line) {
      if (c != ' ') {
        word += c;
        continue;
      }
      endWord();
      pattern += ' ';
    }
    endWord();
    patterns.push_back(pattern);
  }
  return patterns;
}

} // namespace

std::vector<std::string> ProblemReports(const std::vector<std::string> &lines) {
  static const std::vector<std::string> regular = RegularTraces();
  std::vector<std::string> reports;
  for (const std::string &line : lines)
    if (std::none_of(regular.begin(), regular.end(),
                     [&](const std::string &pattern) { return Matches(line, pattern); }))
      reports.push_back(line);
  return reports;
}

bool ContainsBlock(const std::vector<std::string> &lines, const std::vector<std::string> &block) {
  return std::search(lines.begin(), lines.end(), block.begin(), block.end()) != lines.end();
}

} // namespace e2e
