#include "page.h"

#include "job_log.h"

#include <cstddef>
#include <cstring>

namespace {

// A header field, or a run of them, as the numbers the stream carried. Many
// fields are enums in libcups, but a stream may hold any 32-bit value in
// them.
struct NumberLine {
  LogLevel level; // Debug, or Trace for the few the job log shows by default
  const char *name;
  size_t offset; // of the first value in the header
  int count;     // values; more than one are shown as "[ a b ]"
};

#define HEADER_FIELD(name, count) #name, offsetof(cups_page_header2_t, name), count

// The CUPS job log shows "ERROR:" lines by default: the size and depth of
// the page are the first thing to check when a label comes out wrong.
constexpr NumberLine kNumberLines[] = {
    {LogLevel::Debug, HEADER_FIELD(AdvanceDistance, 1)},
    {LogLevel::Debug, HEADER_FIELD(AdvanceMedia, 1)},
    {LogLevel::Debug, HEADER_FIELD(Collate, 1)},
    {LogLevel::Debug, HEADER_FIELD(CutMedia, 1)},
    {LogLevel::Debug, HEADER_FIELD(Duplex, 1)},
    {LogLevel::Debug, HEADER_FIELD(HWResolution, 2)},
    {LogLevel::Debug, HEADER_FIELD(ImagingBoundingBox, 4)},
    {LogLevel::Debug, HEADER_FIELD(InsertSheet, 1)},
    {LogLevel::Debug, HEADER_FIELD(Jog, 1)},
    {LogLevel::Debug, HEADER_FIELD(LeadingEdge, 1)},
    {LogLevel::Debug, HEADER_FIELD(Margins, 2)},
    {LogLevel::Debug, HEADER_FIELD(ManualFeed, 1)},
    {LogLevel::Debug, HEADER_FIELD(MediaPosition, 1)},
    {LogLevel::Debug, HEADER_FIELD(MediaWeight, 1)},
    {LogLevel::Debug, HEADER_FIELD(MirrorPrint, 1)},
    {LogLevel::Debug, HEADER_FIELD(NegativePrint, 1)},
    {LogLevel::Debug, HEADER_FIELD(NumCopies, 1)},
    {LogLevel::Trace, HEADER_FIELD(Orientation, 1)},
    {LogLevel::Debug, HEADER_FIELD(OutputFaceUp, 1)},
    {LogLevel::Trace, HEADER_FIELD(PageSize, 2)},
    {LogLevel::Debug, HEADER_FIELD(Separations, 1)},
    {LogLevel::Debug, HEADER_FIELD(TraySwitch, 1)},
    {LogLevel::Debug, HEADER_FIELD(Tumble, 1)},
    {LogLevel::Trace, HEADER_FIELD(cupsWidth, 1)},
    {LogLevel::Trace, HEADER_FIELD(cupsHeight, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsMediaType, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsBitsPerColor, 1)},
    {LogLevel::Trace, HEADER_FIELD(cupsBitsPerPixel, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsBytesPerLine, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsColorOrder, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsColorSpace, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsCompression, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsRowCount, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsRowFeed, 1)},
    {LogLevel::Debug, HEADER_FIELD(cupsRowStep, 1)},
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
    log.Line(LogLevel::Trace) << "StartPage...\n";
    log.Line(LogLevel::Debug) << "MediaClass = \"";
    log.Field(h.MediaClass) << "\"\n";
    log.Line(LogLevel::Debug) << "MediaColor = \"";
    log.Field(h.MediaColor) << "\"\n";
    log.Line(LogLevel::Debug) << "MediaType = \"";
    log.Field(h.MediaType) << "\"\n";
    log.Line(LogLevel::Debug) << "OutputType = \"";
    log.Field(h.OutputType) << "\"\n";
    for (const NumberLine &line : kNumberLines) {
      log.Line(line.level) << line.name << " = ";
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
  LogLine(LogLevel::Trace, "Enter EndPage\n");
}
