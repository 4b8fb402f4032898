// PNG and JPEG documents, bounded before they are decoded
// (image_decoders.h), decoded to gray and laid out on the job's page
// (image_page.h), straight into the page's lines when it lies there whole
// and unscaled, and converted to dots as the lines are drawn; the page goes
// to the driver's page callbacks whole, one page that the engine prints the
// job's copies of.
#include "image_filter.h"

#include "image_decoders.h"
#include "image_job.h"
#include "job.h"
#include "job_gate.h"
#include "raster_page.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace {

struct CloseFile {
  void operator()(FILE *fp) const { fclose(fp); }
};
using File = std::unique_ptr<FILE, CloseFile>;

// 'PrintImagePage()' - Print the page through the driver's callbacks, its
// dots handed over whole: one page, whose copies the engine makes.
bool PrintImagePage(ImageJob &image, pappl_device_t *device, ImagePage &page) {
  pappl_job_t *job = image.pappl;
  std::optional<PackedPage> dots = page.converter->Finish();
  if (!dots)
    return FailJob(image, PAPPL_JREASON_ABORTED_BY_SYSTEM,
                   "Not enough memory to convert the page.");
  pappl_pr_options_t *o = page.options.get();
  papplJobSetImpressions(job, 1);
  if (!LabelStartJob(job, o, device))
    return false;
  bool ok = LabelStartPage(job, o, device, 1);
  if (RasterPage *raster = ok ? LabelJobPage(job) : nullptr) {
    raster->dots = std::move(dots);
    raster->linesReceived = o->header.cupsHeight;
  }
  ok = ok && LabelEndPage(job, o, device, 1);
  if (ok)
    papplJobSetImpressionsCompleted(job, 1);
  return LabelEndJob(job, o, device) && ok;
}

// 'PrintImage()' - Check, decode and print a PNG or JPEG document.
bool PrintImage(pappl_job_t *job, pappl_device_t *device, bool jpeg) {
  ImageJob image;
  image.pappl = job;
  File fp(fopen(papplJobGetFilename(job), "rb"));
  if (!fp)
    return FailJob(image, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to open the document.");
  ImagePage page;
  if (!(jpeg ? ReadJPEG(image, fp.get(), page) : ReadPNG(image, fp.get(), page)))
    return false;
  return PrintImagePage(image, device, page);
}

// How long a job stopped for its document stays processing, its reason
// set, before it ends. CUPS 2.4's ipp backend first looks at the job right
// after it sent the document, and takes a job that has ended by then for
// completed; only its second thread, which looks about once a second,
// reports an abort (backend/ipp.c, monitor_printer()).
constexpr auto kFailureHold = std::chrono::milliseconds(500);

// 'EndFilter()' - The filter's result, after kFailureHold for a job stopped
// for its document (less when the job is canceled meanwhile).
bool EndFilter(pappl_job_t *job, bool printed) {
  constexpr auto documentFault =
      PAPPL_JREASON_DOCUMENT_FORMAT_ERROR | PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR;
  if (printed || !(papplJobGetReasons(job) & documentFault))
    return printed;
  constexpr auto step = std::chrono::milliseconds(50);
  for (auto held = step; held <= kFailureHold && !papplJobIsCanceled(job); held += step)
    std::this_thread::sleep_for(step);
  return false;
}

} // namespace

bool LabelFilterPNG(pappl_job_t *job, pappl_device_t *device, void *) {
  CloseJobGate(job);
  return EndFilter(job, PrintImage(job, device, false));
}

bool LabelFilterJPEG(pappl_job_t *job, pappl_device_t *device, void *) {
  CloseJobGate(job);
  return EndFilter(job, PrintImage(job, device, true));
}

ImagePreview PreviewImagePage(FILE *fp, bool jpeg, const pappl_pr_options_t &options) {
  ImageJob image;
  image.previewOptions = &options;
  ImagePage page;
  ImagePreview preview;
  if (!(jpeg ? ReadJPEG(image, fp, page) : ReadPNG(image, fp, page))) {
    preview.reason = image.reason;
    preview.message = std::move(image.message);
    return preview;
  }
  preview.header = page.options->header;
  preview.lines = std::move(page.lines);
  return preview;
}
