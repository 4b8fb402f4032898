#include "printer_data.h"

#include <new>

namespace {

// 'DeletePrinterData()' - PAPPL's delete callback: the printer goes.
void DeletePrinterData(pappl_printer_t *, pappl_pr_driver_data_t *data) {
  delete static_cast<PrinterData *>(data->extension);
  data->extension = nullptr;
}

} // namespace

void AttachPrinterData(pappl_pr_driver_data_t &data, JobGate &gate) {
  auto *printerData = new (std::nothrow) PrinterData;
  if (!printerData)
    return;
  printerData->gate = &gate;
  data.extension = printerData;
  data.delete_cb = DeletePrinterData;
}

PrinterData *PrinterDataOf(pappl_printer_t *printer) {
  pappl_pr_driver_data_t data;
  if (!printer || !papplPrinterGetDriverData(printer, &data))
    return nullptr;
  return static_cast<PrinterData *>(data.extension);
}

LastLabel *KeepLastLabel(pappl_job_t *job, int quarterTurns) {
  PrinterData *data = PrinterDataOf(papplJobGetPrinter(job));
  if (!data)
    return nullptr;
  data->lastLabel.Start(quarterTurns);
  return &data->lastLabel;
}
