// An image document on its way to the printer, or to its preview on the
// web page: the checks of its size before it is decoded, and the job's page
// it is laid out on.
#pragma once

#include "image_page.h"
#include "page_converter.h"
#include "printer_model.h"

#include <pappl/pappl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// The largest image taken: 16384 pixels on a side (the size the printer
// gives as jpeg-x-dimension-supported and jpeg-y-dimension-supported), and
// no more pixels than 5 m of the widest label.
inline constexpr uint32_t kMaxImageSide = 16384;
inline constexpr uint64_t kMaxImagePixels = uint64_t{kHeadDots} * kMaxPageRows;

struct DeleteOptions {
  void operator()(pappl_pr_options_t *options) const { papplJobDeletePrintOptions(options); }
};
using PrintOptions = std::unique_ptr<pappl_pr_options_t, DeleteOptions>;

// An image document on its way to the printer, or to its preview on the
// web page: the print job, or a preview's options and why it stopped.
struct ImageJob {
  pappl_job_t *pappl = nullptr;                       // the print job; null for a preview
  const pappl_pr_options_t *previewOptions = nullptr; // what a preview is printed with
  pappl_jreason_t reason = PAPPL_JREASON_NONE;        // why it stopped
  std::string message;
};

// An image's page: the job's options with a page of grays, 8-bit with
// 0 = black, one byte a dot, and where the image lies on it. A print job's
// page is converted to dots as it is drawn: its converter holds the lines.
struct ImagePage {
  PrintOptions options;
  ImageLayout layout;
  PageBytes lines;
  std::optional<PageConverter> converter; // after 'lines': it ends first
};

// 'FailJob()' - End the job with a reason and a line that says why.
__attribute__((format(printf, 3, 4))) bool FailJob(ImageJob &job, pappl_jreason_t reason,
                                                   const char *format, ...);

// 'FitsPrinter()' - Whether an image of this size can be printed; ends the
// job if not.
bool FitsPrinter(ImageJob &job, const char *type, uint64_t width, uint64_t height);

// 'HasSquarePixels()' - Whether the image's resolution is the same across
// and down, which PAPPL's layout needs; ends the job if not.
bool HasSquarePixels(ImageJob &job, const char *type, int xppi, int yppi);

// 'StartImagePage()' - The job's page for an image of 'width' x 'height'
// pixels at 'ppi' and room for its lines, whose conversion starts for a
// print job; ends the job when it has no page the head prints or no memory
// for it.
bool StartImagePage(ImageJob &job, ImagePage &page, int width, int height, int ppi);

// Where an image's rows go as it decodes onto its page: straight into the
// page's lines when it lies there whole and unscaled, each line handed on to
// the page's conversion once it is whole; else into an image of its own,
// drawn onto the page once the image is whole.
class DecodedRows {
public:
  // 'Start()' - Room for the rows of an image of 'width' x 'height' pixels
  // on the page StartImagePage() made; ends the job when there is not
  // enough memory.
  bool Start(ImageJob &job, ImagePage &page, uint32_t width, uint32_t height);

  // 'Row()' - Where row y of the image decodes.
  uint8_t *Row(unsigned y);

  // 'Done()' - Row y of the image is whole, and so are those above it.
  void Done(unsigned y);

  // 'Finish()' - The page's lines once every row is whole; 'smooth' mixes
  // neighbouring pixels where the image is scaled. False, the job ended,
  // when there is not enough memory.
  bool Finish(ImageJob &job, bool smooth);

private:
  ImagePage *page_ = nullptr;
  std::span<uint8_t> lines_; // the page's lines
  bool inPlace_ = false;
  GrayImage image_; // the image, when it is not decoded in place
};
