// PNG and JPEG documents: an image's size is read from its header and
// checked against what the printer can print before its pixels are decoded;
// the image is then laid out on the job's page and printed as one page.
#pragma once

#include "page_bytes.h"

#include <pappl/pappl.h>

#include <cstdio>
#include <string>

// 'LabelFilterPNG()' - Print a PNG document.
bool LabelFilterPNG(pappl_job_t *job, pappl_device_t *device, void *data);
// 'LabelFilterJPEG()' - Print a JPEG document.
bool LabelFilterJPEG(pappl_job_t *job, pappl_device_t *device, void *data);

// The page of an image as a job of 'options' would print it: the page's
// header and its lines (8-bit, 0 = black), or why it is not printed.
struct ImagePreview {
  cups_page_header2_t header{};
  PageBytes lines;
  pappl_jreason_t reason = PAPPL_JREASON_NONE; // a document-format or -unprintable error, ...
  std::string message;                         // the job log's line that says why
};

// 'PreviewImagePage()' - Check and decode a PNG or JPEG document read from
// 'fp' and lay it out on its page as a print job of 'options' does.
ImagePreview PreviewImagePage(FILE *fp, bool jpeg, const pappl_pr_options_t &options);
