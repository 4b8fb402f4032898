// The filter process: job loop over the pages of a CUPS raster stream.
#pragma once

// 'LabelFilterMain()' - Run the filter with the CUPS filter arguments and
// return the exit status.
int LabelFilterMain(int argc, char *argv[]);
