#include "page.h"

#include "job_log.h"

#include <cstddef>
#include <cstring>

namespace {

// A header field, or a run of them, as the numbers the stream carried. Many
// fields are enums in libcups, but a stream may hold any 32-bit value in
// them.
struct NumberLine {
  const char *prefix; // "DEBUG" or "ERROR": the job log shows the latter by default
  const char *name;
  size_t offset; // of the first value in the header
  int count;     // values; more than one are shown as "[ a b ]"
};

#define HEADER_FIELD(name, count) #name, offsetof(cups_page_header2_t, name), count

// The CUPS job log shows "ERROR:" lines by default: the size and depth of
// the page are the first thing to check when a label comes out wrong.
constexpr NumberLine kNumberLines[] = {
    {"DEBUG", HEADER_FIELD(AdvanceDistance, 1)},
    {"DEBUG", HEADER_FIELD(AdvanceMedia, 1)},
    {"DEBUG", HEADER_FIELD(Collate, 1)},
    {"DEBUG", HEADER_FIELD(CutMedia, 1)},
    {"DEBUG", HEADER_FIELD(Duplex, 1)},
    {"DEBUG", HEADER_FIELD(HWResolution, 2)},
    {"DEBUG", HEADER_FIELD(ImagingBoundingBox, 4)},
    {"DEBUG", HEADER_FIELD(InsertSheet, 1)},
    {"DEBUG", HEADER_FIELD(Jog, 1)},
    {"DEBUG", HEADER_FIELD(LeadingEdge, 1)},
    {"DEBUG", HEADER_FIELD(Margins, 2)},
    {"DEBUG", HEADER_FIELD(ManualFeed, 1)},
    {"DEBUG", HEADER_FIELD(MediaPosition, 1)},
    {"DEBUG", HEADER_FIELD(MediaWeight, 1)},
    {"DEBUG", HEADER_FIELD(MirrorPrint, 1)},
    {"DEBUG", HEADER_FIELD(NegativePrint, 1)},
    {"DEBUG", HEADER_FIELD(NumCopies, 1)},
    {"ERROR", HEADER_FIELD(Orientation, 1)},
    {"DEBUG", HEADER_FIELD(OutputFaceUp, 1)},
    {"ERROR", HEADER_FIELD(PageSize, 2)},
    {"DEBUG", HEADER_FIELD(Separations, 1)},
    {"DEBUG", HEADER_FIELD(TraySwitch, 1)},
    {"DEBUG", HEADER_FIELD(Tumble, 1)},
    {"ERROR", HEADER_FIELD(cupsWidth, 1)},
    {"ERROR", HEADER_FIELD(cupsHeight, 1)},
    {"DEBUG", HEADER_FIELD(cupsMediaType, 1)},
    {"DEBUG", HEADER_FIELD(cupsBitsPerColor, 1)},
    {"ERROR", HEADER_FIELD(cupsBitsPerPixel, 1)},
    {"DEBUG", HEADER_FIELD(cupsBytesPerLine, 1)},
    {"DEBUG", HEADER_FIELD(cupsColorOrder, 1)},
    {"DEBUG", HEADER_FIELD(cupsColorSpace, 1)},
    {"DEBUG", HEADER_FIELD(cupsCompression, 1)},
    {"DEBUG", HEADER_FIELD(cupsRowCount, 1)},
    {"DEBUG", HEADER_FIELD(cupsRowFeed, 1)},
    {"DEBUG", HEADER_FIELD(cupsRowStep, 1)},
};

#undef HEADER_FIELD

int NumberAt(const cups_page_header2_t &h, size_t offset) {
  int value;
  std::memcpy(&value, reinterpret_cast<const char *>(&h) + offset, sizeof value);
  return value;
}

} // namespace

void StartPage(ppd_file_t *, const cups_page_header2_t &header) {
  const cups_page_header2_t &h = header;
  {
    LogBlock log;
    log << "ERROR: StartPage...\n";
    log << "DEBUG: MediaClass = \"";
    log.Field(h.MediaClass) << "\"\nDEBUG: MediaColor = \"";
    log.Field(h.MediaColor) << "\"\nDEBUG: MediaType = \"";
    log.Field(h.MediaType) << "\"\nDEBUG: OutputType = \"";
    log.Field(h.OutputType) << "\"\n";
    for (const NumberLine &line : kNumberLines) {
      log << line.prefix << ": " << line.name << " = ";
      if (line.count == 1) {
        log << NumberAt(h, line.offset);
      } else {
        log << "[";
        for (int i = 0; i < line.count; ++i)
          log << " " << NumberAt(h, line.offset + i * sizeof(int));
        log << " ]";
      }
      log << "\n";
    }
  }
}

void EndPage(ppd_file_t *, const cups_page_header2_t &) {
  fprintf(stderr, "ERROR: Enter EndPage\n");
}
