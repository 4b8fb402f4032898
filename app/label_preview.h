// What the printer would print for a document, without printing it: the
// document goes through the same page code as a print job, with the
// printer's settings and those a form names, and the printer's bytes are
// drawn as labelpreview draws them.
#pragma once

#include "multipart.h"

#include <pappl/pappl.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A preview: the picture, or why there is none.
struct LabelPreview {
  std::vector<uint8_t> png;              // a PNG file's bytes
  http_status_t status = HTTP_STATUS_OK; // 400 for a document or setting the printer does not take
  std::string problem;                   // one sentence that says why
};

// 'PreviewLabel()' - The first label the printer prints for a PNG, JPEG, PWG
// raster or Apple raster document (its first page, one copy), turned as it
// reads in the hand. The job's settings are the form's fields named by
// their IPP attributes (media, print-darkness, print-speed, print-scaling and
// the vendor attributes, as IPP text), the printer's defaults for the rest.
LabelPreview PreviewLabel(pappl_printer_t *printer, std::span<const uint8_t> document,
                          const std::vector<FormPart> &fields);
