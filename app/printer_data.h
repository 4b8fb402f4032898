// What the application keeps for each printer of the server, in the
// printer's driver data (its extension): made with the printer by the
// driver callback, freed by PAPPL's delete callback when it goes.
#pragma once

#include "job_gate.h"
#include "last_label.h"

#include <pappl/pappl.h>

struct PrinterData {
  JobGate *gate = nullptr; // the server's: no new job while the last one is finished
  LastLabel lastLabel;     // what the last job sent, for the picture of its last label
};

// 'AttachPrinterData()' - Give a new printer's driver data its own
// PrinterData, with the server's job gate.
void AttachPrinterData(pappl_pr_driver_data_t &data, JobGate &gate);

// 'PrinterDataOf()' - The printer's data; null for a printer made without
// (by a sub-command that runs no server).
PrinterData *PrinterDataOf(pappl_printer_t *printer);

// 'KeepLastLabel()' - Start keeping what 'job' sends, whose labels read
// upright turned clockwise by 'quarterTurns'; the printer's keeper, or null.
LastLabel *KeepLastLabel(pappl_job_t *job, int quarterTurns);
