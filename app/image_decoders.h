// PNG and JPEG documents read onto the job's page. An image that claims
// more pixels than the printer could print ends its job before its image
// data is read; a damaged one ends it where the decoder finds the damage.
#pragma once

#include "image_job.h"

#include <cstdio>

// 'ReadPNG()' - Check and decode a PNG document onto its page.
bool ReadPNG(ImageJob &job, FILE *fp, ImagePage &page);

// 'ReadJPEG()' - Check and decode a JPEG document onto its page.
bool ReadJPEG(ImageJob &job, FILE *fp, ImagePage &page);
