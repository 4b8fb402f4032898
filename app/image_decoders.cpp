// libpng and libjpeg report an error by a longjmp to the last setjmp: each
// setjmp is in a small function that calls the library and holds nothing
// that needs destroying, and after an error the library is not called again
// for that image except to free it.
#include "image_decoders.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t
#include <png.h>

namespace {

// ---- PNG ---------------------------------------------------------------------

// Where libpng's messages go: the job's log, and the text of its error.
struct PngErrors {
  pappl_job_t *job; // null for a preview
  char message[200];
};

// 'PngError()' - A libpng error: keep its text and go back to the setjmp of
// the function that called libpng.
[[noreturn]] void PngError(png_structp pp, png_const_charp message) {
  auto *errors = static_cast<PngErrors *>(png_get_error_ptr(pp));
  snprintf(errors->message, sizeof errors->message, "%s", message);
  png_longjmp(pp, 1);
}

// 'PngWarning()' - A libpng warning, in the job's log.
void PngWarning(png_structp pp, png_const_charp message) {
  auto *errors = static_cast<PngErrors *>(png_get_error_ptr(pp));
  papplLogJob(errors->job, PAPPL_LOGLEVEL_WARN, "PNG: %s", message);
}

// A PNG reader and its image information, freed together.
struct PngReader {
  png_structp pp = nullptr;
  png_infop info = nullptr;
  PngReader() = default;
  PngReader(const PngReader &) = delete;
  PngReader &operator=(const PngReader &) = delete;
  ~PngReader() { png_destroy_read_struct(&pp, &info, nullptr); }
};

// 'ReadPngHeader()' - Read the PNG's chunks up to its image data: its size,
// colours and resolution. False when the file is no PNG or is damaged.
bool ReadPngHeader(png_structp pp, png_infop info, FILE *fp) {
  if (setjmp(png_jmpbuf(pp)))
    return false;
  png_init_io(pp, fp);
  // Some applications write sRGB profiles that libpng would refuse.
  png_set_option(pp, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
  // Any size a PNG can have: FitsPrinter() judges it, not libpng's own
  // limit of a million pixels on a side, which would call the file damaged.
  png_set_user_limits(pp, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_read_info(pp, info);
  return true;
}

// 'ReadPngPixels()' - Decode the image into its rows as 8-bit gray: 16-bit
// samples scaled, 1, 2 and 4-bit gray widened to 0 to 255, a palette looked
// up, colours made gray by their luminance, transparent pixels over white.
// False when the image data is damaged, or its rows would not be one byte
// a pixel. 'rowDone' is called with each row that is whole, in order.
bool ReadPngPixels(png_structp pp, png_infop info, png_bytep *rows, png_uint_32 height,
                   char (&message)[200], const std::function<void(png_uint_32)> &rowDone) {
  if (setjmp(png_jmpbuf(pp)))
    return false;
  const int bitDepth = png_get_bit_depth(pp, info);
  const int colorType = png_get_color_type(pp, info);
  if (png_get_valid(pp, info, PNG_INFO_tRNS))
    png_set_tRNS_to_alpha(pp);
  if (bitDepth > 8)
    png_set_scale_16(pp);
  if (colorType & PNG_COLOR_MASK_PALETTE)
    png_set_palette_to_rgb(pp);
  else if (bitDepth < 8)
    png_set_expand_gray_1_2_4_to_8(pp);
  if (colorType & PNG_COLOR_MASK_COLOR)
    png_set_rgb_to_gray_fixed(pp, PNG_ERROR_ACTION_NONE, -1, -1);
  // White behind transparent pixels, at 8 and 16 bits.
  png_color_16 white{};
  white.red = white.green = white.blue = 65535;
  white.gray = 255;
  png_set_background(pp, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1);
  const int passes = png_set_interlace_handling(pp);
  png_read_update_info(pp, info);
  if (png_get_rowbytes(pp, info) != png_get_image_width(pp, info)) {
    snprintf(message, sizeof message, "its rows decode to %zu bytes",
             static_cast<size_t>(png_get_rowbytes(pp, info)));
    return false;
  }
  for (int pass = passes; pass > 1; --pass)
    png_read_rows(pp, rows, nullptr, height);
  // The last pass leaves each row whole.
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_rows(pp, rows + y, nullptr, 1);
    rowDone(y);
  }
  return true;
}

// ---- JPEG --------------------------------------------------------------------

// libjpeg's error manager, with where to go back to on an error.
struct JpegErrors {
  jpeg_error_mgr mgr; // first: libjpeg sees this part
  jmp_buf back;
  pappl_job_t *job; // null for a preview
  char message[JMSG_LENGTH_MAX];
};

// 'JpegError()' - A libjpeg error: keep its text and go back to the setjmp of
// the function that called libjpeg.
[[noreturn]] void JpegError(j_common_ptr cinfo) {
  auto *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  longjmp(errors->back, 1);
}

// 'JpegMessage()' - The first of an image's libjpeg warnings, in the job's
// log. Data that ends before the image does is an error: libjpeg would fill
// the rest of the image with gray.
void JpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) // trace messages
    return;
  if (cinfo->err->msg_code == JWRN_JPEG_EOF)
    JpegError(cinfo);
  if (cinfo->err->num_warnings++ == 0) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    papplLogJob(reinterpret_cast<JpegErrors *>(cinfo->err)->job, PAPPL_LOGLEVEL_WARN, "JPEG: %s",
                text);
  }
}

// A JPEG decompressor, freed at the end.
struct JpegReader {
  jpeg_decompress_struct dinfo{};
  JpegReader() = default;
  JpegReader(const JpegReader &) = delete;
  JpegReader &operator=(const JpegReader &) = delete;
  ~JpegReader() { jpeg_destroy_decompress(&dinfo); }
};

// 'ReadJpegHeader()' - Read the JPEG's markers up to its image data: its
// size, colours and density. False when the file is no JPEG or is damaged.
bool ReadJpegHeader(jpeg_decompress_struct &dinfo, JpegErrors &errors, FILE *fp) {
  if (setjmp(errors.back))
    return false;
  jpeg_create_decompress(&dinfo);
  jpeg_stdio_src(&dinfo, fp);
  jpeg_read_header(&dinfo, TRUE);
  return true;
}

// 'ReadJpegPixels()' - Decode the image as gray, libjpeg's luminance of a
// colour image, each row y where rowAt(y) says; 'rowDone' is called with
// each row once it is decoded. False when the image data is damaged.
bool ReadJpegPixels(jpeg_decompress_struct &dinfo, JpegErrors &errors, uint32_t width,
                    uint32_t height, const std::function<uint8_t *(unsigned)> &rowAt,
                    const std::function<void(unsigned)> &rowDone) {
  if (setjmp(errors.back))
    return false;
  dinfo.quantize_colors = FALSE;
  dinfo.out_color_space = JCS_GRAYSCALE;
  dinfo.out_color_components = dinfo.output_components = 1;
  jpeg_calc_output_dimensions(&dinfo);
  if (dinfo.output_width != width || dinfo.output_height != height) {
    snprintf(errors.message, sizeof errors.message, "the decoded image is %u x %u pixels",
             dinfo.output_width, dinfo.output_height);
    return false;
  }
  jpeg_start_decompress(&dinfo);
  while (dinfo.output_scanline < dinfo.output_height) {
    const unsigned y = dinfo.output_scanline;
    JSAMPROW row = rowAt(y);
    jpeg_read_scanlines(&dinfo, &row, 1);
    rowDone(y);
  }
  return true;
}

// 'JpegPpi()' - The JFIF density in pixels per inch, 0 when unknown, as PAPPL
// 1.3 reads it.
void JpegPpi(const jpeg_decompress_struct &dinfo, int &xppi, int &yppi) {
  switch (dinfo.density_unit) {
  case 1: // dots per inch
    xppi = dinfo.X_density;
    yppi = dinfo.Y_density;
    break;
  case 2: // dots per centimetre
    xppi = dinfo.X_density * 254 / 100;
    yppi = dinfo.Y_density * 254 / 100;
    break;
  default:
    xppi = yppi = 0;
    break;
  }
}

} // namespace

// 'ReadPNG()' - Check and decode a PNG document onto its page.
bool ReadPNG(ImageJob &job, FILE *fp, ImagePage &page) {
  PngErrors errors{job.pappl, ""};
  PngReader png;
  png.pp = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, PngError, PngWarning);
  if (png.pp)
    png.info = png_create_info_struct(png.pp);
  if (!png.info)
    return FailJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory to read the image.");

  // The size first: nothing of the image data is read before it passes.
  if (!ReadPngHeader(png.pp, png.info, fp))
    return FailJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The PNG document is damaged: %s.",
                   errors.message);
  const png_uint_32 width = png_get_image_width(png.pp, png.info);
  const png_uint_32 height = png_get_image_height(png.pp, png.info);
  const int depth = (png_get_color_type(png.pp, png.info) & PNG_COLOR_MASK_COLOR) ? 3 : 1;
  papplLogJob(job.pappl, PAPPL_LOGLEVEL_INFO, "PNG image: %u x %u pixels, %d bytes per pixel.",
              width, height, depth);
  if (!FitsPrinter(job, "PNG", width, height))
    return false;
  const int ppi = static_cast<int>(png_get_x_pixels_per_inch(png.pp, png.info));
  if (!HasSquarePixels(job, "PNG", ppi,
                       static_cast<int>(png_get_y_pixels_per_inch(png.pp, png.info))))
    return false;
  if (!StartImagePage(job, page, static_cast<int>(width), static_cast<int>(height), ppi))
    return false;

  DecodedRows target;
  if (!target.Start(job, page, width, height))
    return false;
  std::vector<png_bytep> rows;
  try {
    rows.resize(height);
  } catch (const std::bad_alloc &) {
    return FailJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the image.");
  }
  for (png_uint_32 y = 0; y < height; ++y)
    rows[y] = target.Row(y);
  if (!ReadPngPixels(png.pp, png.info, rows.data(), height, errors.message,
                     [&](png_uint_32 y) { target.Done(y); }))
    return FailJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The PNG document is damaged: %s.",
                   errors.message);
  // PNG images are sampled without smoothing, as PAPPL prints them.
  return target.Finish(job, false);
}

// 'ReadJPEG()' - Check and decode a JPEG document onto its page.
bool ReadJPEG(ImageJob &job, FILE *fp, ImagePage &page) {
  JpegErrors errors{};
  errors.job = job.pappl;
  jpeg_std_error(&errors.mgr);
  errors.mgr.error_exit = JpegError;
  errors.mgr.emit_message = JpegMessage;
  JpegReader jpeg;
  jpeg_decompress_struct &dinfo = jpeg.dinfo;
  dinfo.err = &errors.mgr;

  // The size first: nothing of the image data is read before it passes.
  if (!ReadJpegHeader(dinfo, errors, fp))
    return FailJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The JPEG document is damaged: %s.",
                   errors.message);
  const uint32_t width = dinfo.image_width;
  const uint32_t height = dinfo.image_height;
  papplLogJob(job.pappl, PAPPL_LOGLEVEL_INFO, "JPEG image: %u x %u pixels, %d components.", width,
              height, dinfo.num_components);
  if (!FitsPrinter(job, "JPEG", width, height))
    return false;
  int xppi = 0, yppi = 0;
  JpegPpi(dinfo, xppi, yppi);
  if (!HasSquarePixels(job, "JPEG", xppi, yppi))
    return false;
  if (!StartImagePage(job, page, static_cast<int>(width), static_cast<int>(height), xppi))
    return false;

  // JPEG images are smoothed as they are scaled, as PAPPL prints them.
  DecodedRows target;
  if (!target.Start(job, page, width, height))
    return false;
  if (!ReadJpegPixels(
          dinfo, errors, width, height, [&](unsigned y) { return target.Row(y); },
          [&](unsigned y) { target.Done(y); }))
    return FailJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The JPEG document is damaged: %s.",
                   errors.message);
  return target.Finish(job, true);
}
