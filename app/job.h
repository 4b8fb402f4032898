// A print job's raster pages through the label engine to the printer.
#pragma once

#include <pappl/pappl.h>

bool LabelStartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool LabelStartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                    unsigned page);
bool LabelWriteLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                    unsigned y, const unsigned char *line);
bool LabelEndPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                  unsigned page);
bool LabelEndJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
