#include "page.h"

#include "labelfilter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// A header field as the number the stream carried. Many fields are enums in
// libcups, but a stream may hold any 32-bit value in them.
template <typename T> int Number(const T &field) {
  static_assert(sizeof(T) == sizeof(int));
  int value;
  std::memcpy(&value, &field, sizeof value);
  return value;
}

} // namespace

void StartPage(ppd_file_t *, const cups_page_header2_t &header) {
  const cups_page_header2_t &h = header;
  // The CUPS job log shows "ERROR:" lines by default: the size and depth of
  // the page are the first thing to check when a label comes out wrong.
  fprintf(stderr, "ERROR: StartPage...\n");
  fprintf(stderr, "DEBUG: MediaClass = \"%s\"\n", h.MediaClass);
  fprintf(stderr, "DEBUG: MediaColor = \"%s\"\n", h.MediaColor);
  fprintf(stderr, "DEBUG: MediaType = \"%s\"\n", h.MediaType);
  fprintf(stderr, "DEBUG: OutputType = \"%s\"\n", h.OutputType);
  fprintf(stderr, "DEBUG: AdvanceDistance = %d\n", Number(h.AdvanceDistance));
  fprintf(stderr, "DEBUG: AdvanceMedia = %d\n", Number(h.AdvanceMedia));
  fprintf(stderr, "DEBUG: Collate = %d\n", Number(h.Collate));
  fprintf(stderr, "DEBUG: CutMedia = %d\n", Number(h.CutMedia));
  fprintf(stderr, "DEBUG: Duplex = %d\n", Number(h.Duplex));
  fprintf(stderr, "DEBUG: HWResolution = [ %d %d ]\n", Number(h.HWResolution[0]),
          Number(h.HWResolution[1]));
  fprintf(stderr, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n", Number(h.ImagingBoundingBox[0]),
          Number(h.ImagingBoundingBox[1]), Number(h.ImagingBoundingBox[2]),
          Number(h.ImagingBoundingBox[3]));
  fprintf(stderr, "DEBUG: InsertSheet = %d\n", Number(h.InsertSheet));
  fprintf(stderr, "DEBUG: Jog = %d\n", Number(h.Jog));
  fprintf(stderr, "DEBUG: LeadingEdge = %d\n", Number(h.LeadingEdge));
  fprintf(stderr, "DEBUG: Margins = [ %d %d ]\n", Number(h.Margins[0]), Number(h.Margins[1]));
  fprintf(stderr, "DEBUG: ManualFeed = %d\n", Number(h.ManualFeed));
  fprintf(stderr, "DEBUG: MediaPosition = %d\n", Number(h.MediaPosition));
  fprintf(stderr, "DEBUG: MediaWeight = %d\n", Number(h.MediaWeight));
  fprintf(stderr, "DEBUG: MirrorPrint = %d\n", Number(h.MirrorPrint));
  fprintf(stderr, "DEBUG: NegativePrint = %d\n", Number(h.NegativePrint));
  fprintf(stderr, "DEBUG: NumCopies = %d\n", Number(h.NumCopies));
  fprintf(stderr, "ERROR: Orientation = %d\n", Number(h.Orientation));
  fprintf(stderr, "DEBUG: OutputFaceUp = %d\n", Number(h.OutputFaceUp));
  fprintf(stderr, "ERROR: PageSize = [ %d %d ]\n", Number(h.PageSize[0]), Number(h.PageSize[1]));
  fprintf(stderr, "DEBUG: Separations = %d\n", Number(h.Separations));
  fprintf(stderr, "DEBUG: TraySwitch = %d\n", Number(h.TraySwitch));
  fprintf(stderr, "DEBUG: Tumble = %d\n", Number(h.Tumble));
  fprintf(stderr, "ERROR: cupsWidth = %d\n", Number(h.cupsWidth));
  fprintf(stderr, "ERROR: cupsHeight = %d\n", Number(h.cupsHeight));
  fprintf(stderr, "DEBUG: cupsMediaType = %d\n", Number(h.cupsMediaType));
  fprintf(stderr, "DEBUG: cupsBitsPerColor = %d\n", Number(h.cupsBitsPerColor));
  fprintf(stderr, "ERROR: cupsBitsPerPixel = %d\n", Number(h.cupsBitsPerPixel));
  fprintf(stderr, "DEBUG: cupsBytesPerLine = %d\n", Number(h.cupsBytesPerLine));
  fprintf(stderr, "DEBUG: cupsColorOrder = %d\n", Number(h.cupsColorOrder));
  fprintf(stderr, "DEBUG: cupsColorSpace = %d\n", Number(h.cupsColorSpace));
  fprintf(stderr, "DEBUG: cupsCompression = %d\n", Number(h.cupsCompression));
  fprintf(stderr, "DEBUG: cupsRowCount = %d\n", Number(h.cupsRowCount));
  fprintf(stderr, "DEBUG: cupsRowFeed = %d\n", Number(h.cupsRowFeed));
  fprintf(stderr, "DEBUG: cupsRowStep = %d\n", Number(h.cupsRowStep));

  // One page buffer at a time. It holds the lines as they arrive, so a header
  // that claims millions of lines reserves no more than a label needs.
  uint64_t claimed = uint64_t{h.cupsBytesPerLine} * (uint64_t{h.cupsHeight} + 1);
  Buffer = PageBytes();
  Buffer.reserve(static_cast<size_t>(std::min<uint64_t>(claimed, kInitialPageReserve)));
}

void EndPage(ppd_file_t *, const cups_page_header2_t &) {
  fprintf(stderr, "ERROR: Enter EndPage\n");
}
