// PNG and JPEG documents: an image's size is read from its header and
// checked against what the printer can print before its pixels are decoded;
// PAPPL then lays the image out on the job's page.
#pragma once

#include <pappl/pappl.h>

// 'LabelFilterPNG()' - Print a PNG document.
bool LabelFilterPNG(pappl_job_t *job, pappl_device_t *device, void *data);
// 'LabelFilterJPEG()' - Print a JPEG document.
bool LabelFilterJPEG(pappl_job_t *job, pappl_device_t *device, void *data);
