#include "image_job.h"

#include "job.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

// 'FailJob()' - End the job with a reason and a line that says why.
bool FailJob(ImageJob &job, pappl_jreason_t reason, const char *format, ...) {
  char message[300];
  va_list ap;
  va_start(ap, format);
  vsnprintf(message, sizeof message, format, ap);
  va_end(ap);
  papplLogJob(job.pappl, PAPPL_LOGLEVEL_ERROR, "%s", message);
  SetJobMessage(job.pappl, message);
  papplJobSetReasons(job.pappl, reason, PAPPL_JREASON_NONE);
  job.reason = reason;
  job.message = message;
  return false;
}

// 'FitsPrinter()' - Whether an image of this size can be printed; ends the
// job if not.
bool FitsPrinter(ImageJob &job, const char *type, uint64_t width, uint64_t height) {
  if (width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
      width * height <= kMaxImagePixels)
    return true;
  return FailJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                 "The %s image is %llu x %llu pixels; the printer takes images of up to %u "
                 "pixels on a side and %llu pixels in all.",
                 type, static_cast<unsigned long long>(width),
                 static_cast<unsigned long long>(height), kMaxImageSide,
                 static_cast<unsigned long long>(kMaxImagePixels));
}

// 'HasSquarePixels()' - Whether the image's resolution is the same across
// and down, which PAPPL's layout needs; ends the job if not.
bool HasSquarePixels(ImageJob &job, const char *type, int xppi, int yppi) {
  papplLogJob(job.pappl, PAPPL_LOGLEVEL_INFO, "%s image resolution: %d x %d pixels per inch.", type,
              xppi, yppi);
  if (xppi == yppi)
    return true;
  return FailJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                 "The %s image has %d x %d pixels per inch; the printer takes images whose "
                 "pixels are square.",
                 type, xppi, yppi);
}

namespace {

// 'ImageBuffer()' - Room for an image's gray pixels once its size has
// passed FitsPrinter(); ends the job when there is not enough memory.
bool ImageBuffer(ImageJob &job, GrayImage &image, uint32_t width, uint32_t height) {
  const uint64_t bytes = uint64_t{width} * height;
  try {
    image.pixels.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc &) {
    return FailJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM,
                   "Not enough memory for the image's %llu bytes.",
                   static_cast<unsigned long long>(bytes));
  }
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  return true;
}

// 'Scaling()' - The job's print-scaling as the image's sizing. 'auto' is
// 'auto-fit' on this printer: its media have no margins, for which PAPPL
// takes 'auto' as 'fill', and a label cut short loses its barcode.
ImageScaling Scaling(pappl_scaling_t scaling) {
  switch (scaling) {
  case PAPPL_SCALING_FIT:
    return ImageScaling::Fit;
  case PAPPL_SCALING_FILL:
    return ImageScaling::Fill;
  case PAPPL_SCALING_NONE:
    return ImageScaling::None;
  default:
    return ImageScaling::AutoFit;
  }
}

// 'Turn()' - The job's orientation-requested as the image's turn.
ImageTurn Turn(ipp_orient_t orientation) {
  switch (orientation) {
  case IPP_ORIENT_PORTRAIT:
    return ImageTurn::Deg0;
  case IPP_ORIENT_LANDSCAPE:
    return ImageTurn::Deg90;
  case IPP_ORIENT_REVERSE_PORTRAIT:
    return ImageTurn::Deg180;
  case IPP_ORIENT_REVERSE_LANDSCAPE:
    return ImageTurn::Deg270;
  default:
    return ImageTurn::Auto;
  }
}

// 'TurnDegrees()' - The turn in degrees counter-clockwise, for the log.
int TurnDegrees(ImageTurn turn) {
  switch (turn) {
  case ImageTurn::Deg90:
    return 90;
  case ImageTurn::Deg180:
    return 180;
  case ImageTurn::Deg270:
    return 270;
  default:
    return 0;
  }
}

// 'CopyOptions()' - A preview's options as PAPPL makes a job's, to be
// freed with papplJobDeletePrintOptions(); its vendor options are none.
pappl_pr_options_t *CopyOptions(const pappl_pr_options_t &options) {
  auto *copy = static_cast<pappl_pr_options_t *>(calloc(1, sizeof(pappl_pr_options_t)));
  if (copy) {
    *copy = options;
    copy->num_vendor = 0;
    copy->vendor = nullptr;
  }
  return copy;
}

} // namespace

// 'StartImagePage()' - The job's page for an image of 'width' x 'height'
// pixels at 'ppi' and room for its lines, whose conversion starts for a
// print job; ends the job when it has no page the head prints or no memory
// for it.
bool StartImagePage(ImageJob &job, ImagePage &page, int width, int height, int ppi) {
  page.options.reset(job.pappl ? papplJobCreatePrintOptions(job.pappl, 1, false)
                               : CopyOptions(*job.previewOptions));
  if (!page.options)
    return FailJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the job.");
  pappl_pr_options_t &o = *page.options;
  cups_page_header2_t &h = o.header;
  if (h.cupsWidth == 0 || h.cupsWidth > kHeadDots || h.cupsHeight == 0 ||
      h.cupsHeight > kMaxPageRows)
    return FailJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                   "The page is %u x %u dots; the printer's head prints 1 to %u dots across and "
                   "pages of up to %u rows.",
                   h.cupsWidth, h.cupsHeight, kHeadDots, kMaxPageRows);
  page.layout = PlaceImage(static_cast<int>(h.cupsWidth), static_cast<int>(h.cupsHeight),
                           o.printer_resolution[0], width, height, ppi, Scaling(o.print_scaling),
                           Turn(o.orientation_requested));
  papplLogJob(job.pappl, PAPPL_LOGLEVEL_INFO,
              "The image is printed %d x %d dots at (%d, %d) of the %u x %u dot page, turned %d "
              "degrees.",
              page.layout.width, page.layout.height, page.layout.left, page.layout.top, h.cupsWidth,
              h.cupsHeight, TurnDegrees(page.layout.turn));
  // The page is gray (0 = black, as the images decode) whatever colour
  // mode the job asked for, and upright: the image is turned here.
  h.cupsColorSpace = CUPS_CSPACE_SW;
  h.cupsColorOrder = CUPS_ORDER_CHUNKED;
  h.cupsNumColors = 1;
  h.cupsBitsPerColor = h.cupsBitsPerPixel = 8;
  h.cupsBytesPerLine = static_cast<unsigned>(LineBytes(page.layout));
  o.orientation_requested = IPP_ORIENT_PORTRAIT;
  try {
    page.lines.resize(size_t{h.cupsBytesPerLine} * h.cupsHeight);
  } catch (const std::bad_alloc &) {
    return FailJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the page.");
  }
  // A print job's page is converted to dots while the image is decoded
  // onto it.
  if (job.pappl) {
    std::vector<std::string> ignored;
    const GrayConversion mode = JobSettingsOf(job.pappl, o, ignored).dithering;
    page.converter.emplace(std::move(page.lines), static_cast<int>(h.cupsWidth),
                           static_cast<int>(h.cupsHeight), mode, JobLogSink(job.pappl));
  }
  return true;
}

bool DecodedRows::Start(ImageJob &job, ImagePage &page, uint32_t width, uint32_t height) {
  page_ = &page;
  lines_ = page.converter ? page.converter->Lines() : std::span(page.lines);
  inPlace_ = ImageInPlace(page.layout, static_cast<int>(width), static_cast<int>(height));
  if (!inPlace_)
    return ImageBuffer(job, image_, width, height);
  PaperAroundImage(page.layout, lines_);
  return true;
}

uint8_t *DecodedRows::Row(unsigned y) {
  return inPlace_ ? ImageRow(page_->layout, lines_, static_cast<int>(y))
                  : image_.pixels.data() + size_t{y} * static_cast<size_t>(image_.width);
}

void DecodedRows::Done(unsigned y) {
  if (inPlace_ && page_->converter)
    page_->converter->Drawn(page_->layout.top + static_cast<int>(y) + 1);
}

bool DecodedRows::Finish(ImageJob &job, bool smooth) {
  const ImageLayout &layout = page_->layout;
  PageConverter *converter = page_->converter ? &*page_->converter : nullptr;
  if (inPlace_) {
    if (converter)
      converter->Drawn(layout.pageHeight);
    return true;
  }
  ImageSampler sampler;
  try {
    sampler = MakeSampler(image_, layout, smooth);
  } catch (const std::bad_alloc &) {
    return FailJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the page.");
  }
  const size_t stride = LineBytes(layout);
  for (int y = 0; y < layout.pageHeight; ++y) {
    DrawPageRow(image_, sampler, y, lines_.subspan(size_t(y) * stride, stride));
    if (converter)
      converter->Drawn(y + 1);
  }
  return true;
}
