#include "page.h"

#include "labelfilter.h"

#include <algorithm>
#include <cstdio>

void StartPage(ppd_file_t *, const cups_page_header2_t &header) {
  const cups_page_header2_t &h = header;
  // The CUPS job log shows "ERROR:" lines by default: the size and depth of
  // the page are the first thing to check when a label comes out wrong.
  fprintf(stderr, "ERROR: StartPage...\n");
  fprintf(stderr, "DEBUG: MediaClass = \"%s\"\n", h.MediaClass);
  fprintf(stderr, "DEBUG: MediaColor = \"%s\"\n", h.MediaColor);
  fprintf(stderr, "DEBUG: MediaType = \"%s\"\n", h.MediaType);
  fprintf(stderr, "DEBUG: OutputType = \"%s\"\n", h.OutputType);
  fprintf(stderr, "DEBUG: AdvanceDistance = %d\n", h.AdvanceDistance);
  fprintf(stderr, "DEBUG: AdvanceMedia = %d\n", h.AdvanceMedia);
  fprintf(stderr, "DEBUG: Collate = %d\n", h.Collate);
  fprintf(stderr, "DEBUG: CutMedia = %d\n", h.CutMedia);
  fprintf(stderr, "DEBUG: Duplex = %d\n", h.Duplex);
  fprintf(stderr, "DEBUG: HWResolution = [ %d %d ]\n", h.HWResolution[0], h.HWResolution[1]);
  fprintf(stderr, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n", h.ImagingBoundingBox[0],
          h.ImagingBoundingBox[1], h.ImagingBoundingBox[2], h.ImagingBoundingBox[3]);
  fprintf(stderr, "DEBUG: InsertSheet = %d\n", h.InsertSheet);
  fprintf(stderr, "DEBUG: Jog = %d\n", h.Jog);
  fprintf(stderr, "DEBUG: LeadingEdge = %d\n", h.LeadingEdge);
  fprintf(stderr, "DEBUG: Margins = [ %d %d ]\n", h.Margins[0], h.Margins[1]);
  fprintf(stderr, "DEBUG: ManualFeed = %d\n", h.ManualFeed);
  fprintf(stderr, "DEBUG: MediaPosition = %d\n", h.MediaPosition);
  fprintf(stderr, "DEBUG: MediaWeight = %d\n", h.MediaWeight);
  fprintf(stderr, "DEBUG: MirrorPrint = %d\n", h.MirrorPrint);
  fprintf(stderr, "DEBUG: NegativePrint = %d\n", h.NegativePrint);
  fprintf(stderr, "DEBUG: NumCopies = %d\n", h.NumCopies);
  fprintf(stderr, "ERROR: Orientation = %d\n", h.Orientation);
  fprintf(stderr, "DEBUG: OutputFaceUp = %d\n", h.OutputFaceUp);
  fprintf(stderr, "ERROR: PageSize = [ %d %d ]\n", h.PageSize[0], h.PageSize[1]);
  fprintf(stderr, "DEBUG: Separations = %d\n", h.Separations);
  fprintf(stderr, "DEBUG: TraySwitch = %d\n", h.TraySwitch);
  fprintf(stderr, "DEBUG: Tumble = %d\n", h.Tumble);
  fprintf(stderr, "ERROR: cupsWidth = %d\n", h.cupsWidth);
  fprintf(stderr, "ERROR: cupsHeight = %d\n", h.cupsHeight);
  fprintf(stderr, "DEBUG: cupsMediaType = %d\n", h.cupsMediaType);
  fprintf(stderr, "DEBUG: cupsBitsPerColor = %d\n", h.cupsBitsPerColor);
  fprintf(stderr, "ERROR: cupsBitsPerPixel = %d\n", h.cupsBitsPerPixel);
  fprintf(stderr, "DEBUG: cupsBytesPerLine = %d\n", h.cupsBytesPerLine);
  fprintf(stderr, "DEBUG: cupsColorOrder = %d\n", h.cupsColorOrder);
  fprintf(stderr, "DEBUG: cupsColorSpace = %d\n", h.cupsColorSpace);
  fprintf(stderr, "DEBUG: cupsCompression = %d\n", h.cupsCompression);
  fprintf(stderr, "DEBUG: cupsRowCount = %d\n", h.cupsRowCount);
  fprintf(stderr, "DEBUG: cupsRowFeed = %d\n", h.cupsRowFeed);
  fprintf(stderr, "DEBUG: cupsRowStep = %d\n", h.cupsRowStep);

  // One page buffer at a time. It holds the lines as they arrive, so a header
  // that claims millions of lines reserves no more than a label needs.
  uint64_t claimed = uint64_t{h.cupsBytesPerLine} * (uint64_t{h.cupsHeight} + 1);
  Buffer = std::vector<uint8_t>();
  Buffer.reserve(static_cast<size_t>(std::min<uint64_t>(claimed, kInitialPageReserve)));
}

void EndPage(ppd_file_t *, const cups_page_header2_t &) { fprintf(stderr, "ERROR: Enter EndPage\n"); }
