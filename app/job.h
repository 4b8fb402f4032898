// A print job's raster pages through the label engine to the printer.
#pragma once

#include "raster_page.h"

#include <pappl/pappl.h>

#include <string>
#include <vector>

bool LabelStartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool LabelStartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                    unsigned page);
bool LabelWriteLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                    unsigned y, const unsigned char *line);
bool LabelEndPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                  unsigned page);
bool LabelEndJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);

// The printer's own command stream, as labelfilter writes it, sent on as it
// is: a document of this type is copied to the device unchanged.
inline constexpr const char *kPrinterFormat = "application/vnd.thermal-label-commands";

// 'LabelPrintFile()' - Send a document in the printer's own commands.
bool LabelPrintFile(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);

// 'LabelJobPage()' - The page a job is receiving, for a filter that lays out
// the page's lines itself between LabelStartPage() and LabelEndPage().
struct RasterPage *LabelJobPage(pappl_job_t *job);

// 'SetJobMessage()' - Give the job its job-state-message, unless it has one:
// a job has one message, the first. PAPPL 1.3.1 copies a job's message into
// its Get-Job-Attributes and Get-Jobs answers without the job's lock, while
// papplJobSetMessage() frees the message it replaces: a client asking then
// would read freed memory.
void SetJobMessage(pappl_job_t *job, const char *message);

// 'JobSettingsOf()' - The job's settings: its options, else the printer's
// defaults; 'ignored' gets each value given that the printer does not take.
JobSettings JobSettingsOf(pappl_job_t *job, const pappl_pr_options_t &options,
                          std::vector<std::string> &ignored);

// 'JobLogSink()' - The engine's lines into the job's log, as its pages log
// them; nothing goes to the device through it.
EngineSink JobLogSink(pappl_job_t *job);

// 'JobPaper()' - The job's paper in dots, as PAPPL sizes its pages.
Paper JobPaper(const pappl_pr_options_t &options);

// 'PassesBitsThrough()' - Whether PAPPL hands this page of a document of
// 'format' over as the 1-bit page it came as (see IsMediaHeaderOfBits()).
bool PassesBitsThrough(const char *format, const cups_page_header2_t &h);
