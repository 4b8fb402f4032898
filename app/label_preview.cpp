#include "label_preview.h"

#include "image_filter.h"
#include "job.h"
#include "job_end.h"
#include "paper.h"
#include "raster_page.h"
#include "settings_map.h"
#include "stream_decoder.h"
#include "stream_picture.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

namespace {

// The document formats a preview reads, told by their first bytes.
enum class Format { Unknown, Png, Jpeg, PwgRaster, AppleRaster };

// 'FormatOf()' - The document's format by its signature.
Format FormatOf(std::span<const uint8_t> document) {
  const auto startsWith = [document](std::string_view magic) {
    return document.size() >= magic.size() && !memcmp(document.data(), magic.data(), magic.size());
  };
  if (startsWith("\x89PNG\r\n\x1a\n"))
    return Format::Png;
  if (startsWith("\xff\xd8\xff"))
    return Format::Jpeg;
  if (startsWith("RaS2"))
    return Format::PwgRaster;
  if (startsWith(std::string_view("UNIRAST\0", 8)))
    return Format::AppleRaster;
  return Format::Unknown;
}

// 'Text()' - A form field's value as text.
std::string Text(const FormPart &field) {
  return std::string(reinterpret_cast<const char *>(field.value.data()), field.value.size());
}

// 'Integer()' - Decimal text as a number, nothing unless it is all digits
// (and a sign) and within [low, high].
std::optional<int> Integer(const std::string &text, int low, int high) {
  int n = 0;
  const char *end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, n);
  if (error != std::errc() || at != end || n < low || n > high)
    return std::nullopt;
  return n;
}

// 'Scaling()' - A print-scaling keyword, or nothing.
std::optional<pappl_scaling_t> Scaling(const std::string &keyword) {
  constexpr std::pair<const char *, pappl_scaling_t> kScalings[] = {
      {"auto", PAPPL_SCALING_AUTO},
      {"auto-fit", PAPPL_SCALING_AUTO_FIT},
      {"fill", PAPPL_SCALING_FILL},
      {"fit", PAPPL_SCALING_FIT},
      {"none", PAPPL_SCALING_NONE}};
  for (const auto &[name, scaling] : kScalings)
    if (keyword == name)
      return scaling;
  return std::nullopt;
}

// 'SetMedia()' - The job's media: one of the printer's sizes by its PWG
// name, on the default's roll. False for another name.
bool SetMedia(const pappl_pr_driver_data_t &data, const std::string &name,
              pappl_media_col_t &media) {
  for (int i = 0; i < data.num_media; ++i) {
    const pwg_media_t *pwg = pwgMediaForPWG(data.media[i]);
    if (name != data.media[i] || !pwg)
      continue;
    papplCopyString(media.size_name, data.media[i], sizeof media.size_name);
    media.size_width = pwg->width;
    media.size_length = pwg->length;
    return true;
  }
  return false;
}

// 'SetVendorDefault()' - Put the form's value of a vendor attribute into
// 'attrs' as its NAME-default, of the attribute's syntax. False when the
// printer does not take the value.
bool SetVendorDefault(ipp_t *attrs, const PrinterOption &option, const std::string &value) {
  const std::string name = std::string(option.ippName) + "-default";
  if (ipp_attribute_t *old = ippFindAttribute(attrs, name.c_str(), IPP_TAG_ZERO))
    ippDeleteAttribute(attrs, old);
  ipp_attribute_t *attr = nullptr;
  switch (option.ippSyntax) {
  case IppSyntax::Keyword:
    attr =
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, name.c_str(), nullptr, value.c_str());
    break;
  case IppSyntax::Boolean:
    if (value == "true" || value == "false")
      attr = ippAddBoolean(attrs, IPP_TAG_PRINTER, name.c_str(), value == "true");
    break;
  case IppSyntax::Integer:
    if (std::optional<int> n =
            Integer(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()))
      attr = ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, name.c_str(), *n);
    break;
  }
  return SupportedValue(option, attr).has_value();
}

struct DeleteIpp {
  void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};

// 'JobOptions()' - The options a job of the form's settings gets, as
// papplJobCreatePrintOptions() makes them from the printer's defaults, and
// its settings for the engine. A message for a setting the printer does not
// take, else an empty one.
std::string JobOptions(pappl_printer_t *printer, const std::vector<FormPart> &fields,
                       pappl_pr_options_t &options, JobSettings &settings) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const std::unique_ptr<ipp_t, DeleteIpp> attrs(papplPrinterGetDriverAttributes(printer));
  if (!attrs)
    return "Not enough memory for the printer's settings.";

  options = pappl_pr_options_t{};
  options.copies = 1;
  options.media = data.media_default;
  options.orientation_requested = data.orient_default ? data.orient_default : IPP_ORIENT_NONE;
  options.print_color_mode = data.color_default;
  options.print_content_optimize = data.content_default;
  options.print_darkness = data.darkness_default;
  options.darkness_configured = data.darkness_configured;
  options.print_quality = data.quality_default;
  options.print_scaling = data.scaling_default;
  options.print_speed = data.speed_default;
  options.printer_resolution[0] = data.x_resolution[data.num_resolution / 2];
  options.printer_resolution[1] = data.y_resolution[data.num_resolution / 2];
  options.sides = PAPPL_SIDES_ONE_SIDED;
  options.first_page = options.last_page = options.num_pages = 1;

  for (const FormPart &field : fields) {
    if (field.isFile)
      continue;
    const std::string value = Text(field);
    bool taken = true;
    if (field.name == "media") {
      taken = SetMedia(data, value, options.media);
    } else if (field.name == "print-darkness") {
      const std::optional<int> n = Integer(value, -100, 100);
      taken = n.has_value();
      options.print_darkness = n.value_or(0);
    } else if (field.name == "print-speed") {
      const std::optional<int> n = Integer(value, 0, data.speed_supported[1]);
      taken = n.has_value();
      options.print_speed = n.value_or(0);
    } else if (field.name == "print-scaling") {
      const std::optional<pappl_scaling_t> scaling = Scaling(value);
      taken = scaling.has_value();
      options.print_scaling = scaling.value_or(PAPPL_SCALING_AUTO);
    } else {
      for (const PrinterOption &option : VendorOptions())
        if (field.name == option.ippName)
          taken = SetVendorDefault(attrs.get(), option, value);
    }
    if (!taken)
      return "The printer does not take " + field.name + "=" + value.substr(0, 40) + ".";
  }

  // The job's page in 8-bit gray at the size of its media, as PAPPL makes
  // it for this printer.
  cupsRasterInitPWGHeader(&options.header, pwgMediaForPWG(options.media.size_name), "sgray_8",
                          options.printer_resolution[0], options.printer_resolution[1], "one-sided",
                          "normal");
  papplCopyString(options.header.MediaType, options.media.type, sizeof options.header.MediaType);
  std::vector<std::string> ignored;
  settings = ParseSettings(JobChoiceKeywords(options, nullptr, attrs.get(), ignored));
  return "";
}

// 'ImageStream()' - The printer's bytes for a PNG or JPEG document's page, as
// LabelFilterPNG() and LabelFilterJPEG() print it.
PageResult ImageStream(std::span<const uint8_t> document, bool jpeg,
                       const pappl_pr_options_t &options, const JobSettings &settings,
                       const EngineSink &sink) {
  FILE *fp = fmemopen(const_cast<uint8_t *>(document.data()), document.size(), "rb");
  if (!fp)
    return {PageFault::NoMemory, "Not enough memory to read the document."};
  ImagePreview image = PreviewImagePage(fp, jpeg, options);
  fclose(fp);
  switch (image.reason) {
  case PAPPL_JREASON_NONE:
    break;
  case PAPPL_JREASON_DOCUMENT_FORMAT_ERROR:
    return {PageFault::Damaged, image.message};
  case PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR:
    return {PageFault::Unprintable, image.message};
  default:
    return {PageFault::NoMemory, image.message};
  }
  RasterPage page;
  const cups_page_header2_t &h = image.header;
  if (PageResult begun = BeginRasterPage(page, h, false, 1, JobPaper(options));
      begun.fault != PageFault::None)
    return begun;
  page.lines = std::move(image.lines);
  page.linesReceived = h.cupsHeight;
  return PrintRasterPage(page, h, 1, settings, 1, sink);
}

// A document in memory, read by libcups's raster reader.
struct MemoryReader {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

// 'ReadMemory()' - The next bytes of the document.
ssize_t ReadMemory(void *context, unsigned char *buffer, size_t length) {
  auto &reader = *static_cast<MemoryReader *>(context);
  const size_t n = std::min(length, reader.bytes.size() - reader.at);
  memcpy(buffer, reader.bytes.data() + reader.at, n);
  reader.at += n;
  return static_cast<ssize_t>(n);
}

struct CloseRaster {
  void operator()(cups_raster_t *ras) const { cupsRasterClose(ras); }
};

// The widest line a preview reads from a raster document: as wide as the
// widest gray page the printer fits to its paper.
constexpr unsigned kMaxLineBytes = kMaxRasterWidth;

// 'RasterStream()' - The printer's bytes for the first page of a PWG or
// Apple raster document, as PAPPL 1.3.1 hands such a page's lines to the
// driver's raster callbacks and they print it.
PageResult RasterStream(std::span<const uint8_t> document, Format format,
                        const pappl_pr_options_t &options, const JobSettings &settings,
                        const EngineSink &sink) {
  MemoryReader reader{document};
  const std::unique_ptr<cups_raster_t, CloseRaster> ras(
      cupsRasterOpenIO(ReadMemory, &reader, CUPS_RASTER_READ));
  cups_page_header2_t header;
  if (!ras || !cupsRasterReadHeader2(ras.get(), &header))
    return {PageFault::Damaged, "The raster document has no page header that can be read."};
  // PAPPL's own checks of the page, with its words.
  if (header.cupsWidth == 0 || header.cupsHeight == 0 ||
      (header.cupsBitsPerColor != 1 && header.cupsBitsPerColor != 8) ||
      header.cupsColorOrder != CUPS_ORDER_CHUNKED ||
      header.cupsBytesPerLine != (header.cupsWidth * header.cupsBitsPerPixel + 7) / 8)
    return {PageFault::Damaged, "Bad raster data seen."};
  if (header.cupsBitsPerPixel > 8)
    return {PageFault::Unprintable, "Unsupported raster data seen."};
  // A page of 8 bits comes under its own header, a 1-bit page under the
  // job's header, its lines at the start of lines of the job's width.
  pappl_pr_options_t page = options;
  if (header.cupsBitsPerPixel >= 8)
    page.header = header;
  const cups_page_header2_t &h = page.header;
  RasterPage raster;
  const char *formatName = format == Format::PwgRaster ? "image/pwg-raster" : "image/urf";
  if (PageResult begun =
          BeginRasterPage(raster, h, PassesBitsThrough(formatName, h), 1, JobPaper(page));
      begun.fault != PageFault::None)
    return begun;
  // A 1-bit page's lines are read whole, however wide it claims to be.
  if (header.cupsBytesPerLine > kMaxLineBytes)
    return {PageFault::Unprintable, "Page 1 has " + std::to_string(header.cupsBytesPerLine) +
                                        " bytes per line; the printer takes pages of up to " +
                                        std::to_string(kMaxLineBytes) + "."};
  std::vector<uint8_t> pixels(std::max(h.cupsBytesPerLine, header.cupsBytesPerLine),
                              h.cupsColorSpace == CUPS_CSPACE_K ? 0 : 255);
  unsigned y = 0;
  for (; y < header.cupsHeight && y < h.cupsHeight; ++y) {
    if (!cupsRasterReadPixels(ras.get(), pixels.data(), header.cupsBytesPerLine))
      break;
    if (PageResult added = AddRasterLine(raster, h, y, pixels.data());
        added.fault != PageFault::None)
      return added;
  }
  // A page shorter than the job's is made up with white lines.
  if (y == header.cupsHeight) {
    const bool black =
        header.cupsColorSpace == CUPS_CSPACE_K || header.cupsColorSpace == CUPS_CSPACE_CMYK;
    memset(pixels.data(), black ? 0x00 : 0xFF, header.cupsBytesPerLine);
    for (; y < h.cupsHeight; ++y)
      if (PageResult added = AddRasterLine(raster, h, y, pixels.data());
          added.fault != PageFault::None)
        return added;
  }
  return PrintRasterPage(raster, h, 1, settings, 1, sink);
}

// 'Problem()' - A preview that says why there is no picture.
LabelPreview Problem(http_status_t status, std::string problem) {
  LabelPreview preview;
  preview.status = status;
  preview.problem = std::move(problem);
  return preview;
}

} // namespace

LabelPreview PreviewLabel(pappl_printer_t *printer, std::span<const uint8_t> document,
                          const std::vector<FormPart> &fields) {
  try {
    pappl_pr_options_t options;
    JobSettings settings;
    if (std::string problem = JobOptions(printer, fields, options, settings); !problem.empty())
      return Problem(HTTP_STATUS_BAD_REQUEST, problem);
    const Format format = FormatOf(document);
    if (format == Format::Unknown)
      return Problem(HTTP_STATUS_BAD_REQUEST,
                     "The document is no PNG, JPEG, PWG raster or Apple raster file.");

    // The printer's bytes, kept here; the engine's log lines go nowhere.
    std::vector<uint8_t> stream;
    const EngineSink sink = StreamSink(stream);
    const PageResult printed =
        format == Format::Png || format == Format::Jpeg
            ? ImageStream(document, format == Format::Jpeg, options, settings, sink)
            : RasterStream(document, format, options, settings, sink);
    switch (printed.fault) {
    case PageFault::None:
      break;
    case PageFault::Unprintable:
    case PageFault::Damaged:
      return Problem(HTTP_STATUS_BAD_REQUEST, printed.message);
    case PageFault::NoMemory:
    case PageFault::PrinterGone:
      return Problem(HTTP_STATUS_SERVER_ERROR, printed.message);
    }
    // The job's end, as LabelEndJob() makes it.
    EndJob(settings, sink);

    if (preview::SplitLabels(preview::DecodeStream(stream).commands).empty())
      return Problem(HTTP_STATUS_BAD_REQUEST, "The printer would print nothing for this document: "
                                              "its first page has no dot to print.");
    preview::LabelPng picture =
        StreamLabelPng(stream, WhichLabel::First, UprightQuarterTurns(settings.origin));
    if (picture.png.empty())
      return Problem(HTTP_STATUS_SERVER_ERROR,
                     "The label cannot be drawn: " + picture.problem + ".");
    LabelPreview preview;
    preview.png = std::move(picture.png);
    return preview;
  } catch (const std::bad_alloc &) {
    return Problem(HTTP_STATUS_SERVER_ERROR, "Not enough memory for the preview.");
  }
}
