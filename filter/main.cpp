// The labelfilter executable: a CUPS filter for a 203-dpi thermal label printer.
#include "job_log.h"
#include "labelfilter.h"

int main(int argc, char *argv[]) { return RunFilterJob(LabelFilterMain, argc, argv); }
