#include "preview_page.h"

#include "driver.h"
#include "label_preview.h"
#include "multipart.h"
#include "printer_data.h"
#include "settings_map.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>

namespace {

// The largest form a preview takes: room for any document the printer's
// page limits let through (a page of 832 x 39960 gray dots is 33 MB).
constexpr size_t kMaxFormBytes = 64 << 20;

// The vendor attributes the preview form offers: those that change the
// dots of a label. The form may send any other.
constexpr const char *kFormVendorAttributes[] = {"gray-conversion", "label-origin", "mirror-image",
                                                 "negative-image", "feed-after-printing"};

// 'Escaped()' - Text for HTML.
std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// 'Respond()' - A whole response of 'type'. False when the client is gone.
bool Respond(pappl_client_t *client, http_status_t status, const char *type,
             std::span<const uint8_t> body) {
  if (!papplClientRespond(client, status, nullptr, type, 0, body.size()))
    return false;
  http_t *http = papplClientGetHTTP(client);
  return httpWrite2(http, reinterpret_cast<const char *>(body.data()), body.size()) >= 0 &&
         httpFlushWrite(http) >= 0;
}

// 'RespondProblem()' - A page that says why there is no picture, for a
// browser and for the preview form's script (the text of #problem).
bool RespondProblem(pappl_client_t *client, http_status_t status, const std::string &title,
                    const std::string &problem) {
  papplLogClient(client, PAPPL_LOGLEVEL_INFO, "%s: %s", title.c_str(), problem.c_str());
  const std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                           Escaped(title) + "</title></head>\n<body><h1>" + Escaped(title) +
                           "</h1>\n<p id=\"problem\">" + Escaped(problem) + "</p></body></html>\n";
  return Respond(client, status, "text/html",
                 std::span(reinterpret_cast<const uint8_t *>(page.data()), page.size()));
}

// 'LastLabelPicture()' - GET PRINTER/last-label.png: the last label the
// printer printed, as it reads in the hand; 404 before it printed any.
bool LastLabelPicture(pappl_client_t *client, void *data) {
  auto *printer = static_cast<pappl_printer_t *>(data);
  if (!papplClientHTMLAuthorize(client))
    return true;
  if (papplClientGetMethod(client) != HTTP_STATE_GET)
    return papplClientRespond(client, HTTP_STATUS_METHOD_NOT_ALLOWED, nullptr, nullptr, 0, 0);
  const PrinterData *printerData = PrinterDataOf(printer);
  const std::optional<preview::LabelPng> picture =
      printerData ? printerData->lastLabel.Picture() : std::nullopt;
  if (!picture)
    return RespondProblem(client, HTTP_STATUS_NOT_FOUND, "No label",
                          "The printer has printed no label since the server started.");
  if (picture->png.empty())
    return RespondProblem(client, HTTP_STATUS_NOT_FOUND, "No label",
                          "The last job's label has no picture: " + picture->problem + ".");
  return Respond(client, HTTP_STATUS_OK, "image/png", picture->png);
}

// 'ReadBody()' - The request's body, up to kMaxFormBytes; false when it is
// larger or breaks off.
bool ReadBody(http_t *http, std::vector<uint8_t> &body, bool &tooLarge) {
  const char *length = httpGetField(http, HTTP_FIELD_CONTENT_LENGTH);
  tooLarge = length && *length && strtoull(length, nullptr, 10) > kMaxFormBytes;
  if (tooLarge)
    return false;
  auto block = std::make_unique<char[]>(65536);
  ssize_t n;
  while ((n = httpRead2(http, block.get(), 65536)) > 0) {
    if (body.size() + size_t(n) > kMaxFormBytes) {
      tooLarge = true;
      return false;
    }
    body.insert(body.end(), block.get(), block.get() + n);
  }
  return n == 0;
}

// 'DiscardBody()' - After an answer sent before the body was read: stop
// writing and read what the client still sends, for up to a second, so
// that the connection is not reset under the client before it has read the
// answer (a browser still sending a large form would show no page).
void DiscardBody(http_t *http) {
  httpFlushWrite(http);
  const int fd = httpGetFd(http);
  shutdown(fd, SHUT_WR);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  char block[65536];
  for (auto now = std::chrono::steady_clock::now(); now < until;
       now = std::chrono::steady_clock::now()) {
    pollfd wait{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
    if (poll(&wait, 1, static_cast<int>(left.count()) + 1) <= 0 ||
        recv(fd, block, sizeof block, 0) <= 0)
      break;
  }
}

// 'PostPreview()' - POST PRINTER/preview: the picture of what the printer
// would print for the form's document and settings. Nothing is printed.
bool PostPreview(pappl_client_t *client, pappl_printer_t *printer) {
  const auto started = std::chrono::steady_clock::now();
  http_t *http = papplClientGetHTTP(client);
  const std::optional<std::string> boundary =
      MultipartBoundary(httpGetField(http, HTTP_FIELD_CONTENT_TYPE));
  // A body that is not read leaves the connection unusable: it is closed.
  if (!boundary) {
    RespondProblem(client, HTTP_STATUS_BAD_REQUEST, "No preview",
                   "The preview takes a form sent as multipart/form-data.");
    return false;
  }
  std::vector<uint8_t> body;
  bool tooLarge = false;
  try {
    if (!ReadBody(http, body, tooLarge)) {
      if (tooLarge)
        RespondProblem(client, HTTP_STATUS_REQUEST_TOO_LARGE, "No preview",
                       "The form is larger than the " + std::to_string(kMaxFormBytes >> 20) +
                           " MB the preview takes.");
      DiscardBody(http);
      return false;
    }
  } catch (const std::bad_alloc &) {
    RespondProblem(client, HTTP_STATUS_SERVER_ERROR, "No preview",
                   "Not enough memory for the form.");
    return false;
  }

  std::string problem;
  const std::optional<std::vector<FormPart>> parts = ParseMultipart(body, *boundary, problem);
  if (!parts)
    return RespondProblem(client, HTTP_STATUS_BAD_REQUEST, "No preview",
                          "The form cannot be read: " + problem + ".");
  // The session of the page that sent the form, as PAPPL's forms have it.
  cups_option_t *form = nullptr;
  int numForm = 0;
  for (const FormPart &part : *parts)
    if (!part.isFile)
      numForm = cupsAddOption(
          part.name.c_str(),
          std::string(reinterpret_cast<const char *>(part.value.data()), part.value.size()).c_str(),
          numForm, &form);
  const bool valid = papplClientIsValidForm(client, numForm, form);
  cupsFreeOptions(numForm, form);
  if (!valid)
    return RespondProblem(client, HTTP_STATUS_BAD_REQUEST, "No preview",
                          "The form's session has ended: load the page again.");
  const FormPart *file = FindPart(*parts, "file");
  if (!file || !file->isFile || file->value.empty())
    return RespondProblem(client, HTTP_STATUS_BAD_REQUEST, "No preview",
                          "No document: choose a file to preview.");

  const LabelPreview preview = PreviewLabel(printer, file->value, *parts);
  if (preview.png.empty())
    return RespondProblem(client, preview.status, "No preview", preview.problem);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO,
                  "Preview of a document of %lu bytes: a picture of %lu bytes in %ld ms.",
                  static_cast<unsigned long>(file->value.size()),
                  static_cast<unsigned long>(preview.png.size()), static_cast<long>(took.count()));
  return Respond(client, HTTP_STATUS_OK, "image/png", preview.png);
}

// 'PutSelect()' - A row of the form: a list of choices, 'chosen' selected.
void PutSelect(pappl_client_t *client, const char *name, const char *label,
               const std::vector<std::pair<std::string, std::string>> &choices,
               const std::string &chosen) {
  papplClientHTMLPrintf(
      client, "<tr><th><label for=\"%s\">%s:</label></th><td><select id=\"%s\" name=\"%s\">", name,
      label, name, name);
  for (const auto &[value, text] : choices)
    papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", Escaped(value).c_str(),
                          value == chosen ? " selected" : "", Escaped(text).c_str());
  papplClientHTMLPuts(client, "</select></td></tr>\n");
}

// 'ShowPreviewPage()' - GET PRINTER/preview: the last label and the form.
void ShowPreviewPage(pappl_client_t *client, pappl_printer_t *printer) {
  char path[256], lastLabelPath[256];
  papplPrinterGetPath(printer, "preview", path, sizeof path);
  papplPrinterGetPath(printer, "last-label.png", lastLabelPath, sizeof lastLabelPath);
  const PrinterData *printerData = PrinterDataOf(printer);
  const unsigned jobs = printerData ? printerData->lastLabel.Jobs() : 0;
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);

  papplClientHTMLPrinterHeader(client, printer, "Label Preview", 0, nullptr, nullptr);
  papplClientHTMLPuts(
      client, "<div class=\"row\"><div class=\"col-6\">\n<h2 class=\"title\">Last label</h2>\n");
  // The picture's address changes with each job, so that no browser shows an older one.
  if (jobs > 0)
    papplClientHTMLPrintf(
        client,
        "<p><img id=\"last-label\" src=\"%s?job=%u\" alt=\"The last label the printer printed\" "
        "style=\"max-width:100%%;border:1px solid #888\"></p>\n",
        lastLabelPath, jobs);
  else
    papplClientHTMLPuts(client,
                        "<p>The printer has printed no label since the server started.</p>\n");

  papplClientHTMLPuts(
      client,
      "</div><div class=\"col-6\">\n<h2 class=\"title\">Preview a document</h2>\n"
      "<p>What the printer would print for a PNG, JPEG, PWG raster or Apple raster "
      "document: its first page, as the label reads in the hand. Nothing is printed.</p>\n");
  papplClientHTMLStartForm(client, path, true);
  papplClientHTMLPuts(client,
                      "<table class=\"form\"><tbody>\n"
                      "<tr><th><label for=\"file\">Document:</label></th><td><input type=\"file\" "
                      "id=\"file\" name=\"file\" accept=\"image/png,image/jpeg,image/pwg-raster,"
                      "image/urf,.png,.jpg,.jpeg,.pwg,.urf\" required></td></tr>\n");

  std::vector<std::pair<std::string, std::string>> media;
  for (const MediaSize &size : LabelMedia())
    media.emplace_back(size.name, size.label);
  PutSelect(client, "media", "Media", media, data.media_default.size_name);
  PutSelect(client, "print-scaling", "Scaling",
            {{"auto", "Auto"},
             {"auto-fit", "Auto-fit"},
             {"fill", "Fill"},
             {"fit", "Fit"},
             {"none", "None"}},
            data.scaling_default == PAPPL_SCALING_AUTO_FIT ? "auto-fit" : "auto");
  papplClientHTMLPrintf(
      client,
      "<tr><th><label for=\"print-darkness\">Darkness:</label></th><td><input "
      "type=\"number\" id=\"print-darkness\" name=\"print-darkness\" min=\"-100\" "
      "max=\"100\" value=\"0\"> %% added to the printer's %d %%</td></tr>\n",
      data.darkness_configured);

  const std::unique_ptr<ipp_t, decltype(&ippDelete)> attrs(papplPrinterGetDriverAttributes(printer),
                                                           ippDelete);
  for (const PrinterOption &option : VendorOptions()) {
    if (std::find_if(std::begin(kFormVendorAttributes), std::end(kFormVendorAttributes),
                     [&option](const char *name) { return !strcmp(name, option.ippName); }) ==
        std::end(kFormVendorAttributes))
      continue;
    const std::string defaultName = std::string(option.ippName) + "-default";
    const std::string chosen =
        SupportedValue(option, ippFindAttribute(attrs.get(), defaultName.c_str(), IPP_TAG_ZERO))
            .value_or(DefaultValue(option));
    std::vector<std::pair<std::string, std::string>> choices;
    switch (option.ippSyntax) {
    case IppSyntax::Keyword:
      for (const OptionChoice &choice : OfferedChoices(option))
        choices.emplace_back(choice.ipp, choice.label);
      break;
    case IppSyntax::Boolean:
      choices = {{"false", "No"}, {"true", "Yes"}};
      break;
    case IppSyntax::Integer:
      for (const OptionChoice &choice : OfferedChoices(option))
        choices.emplace_back(choice.ipp, choice.ipp);
      break;
    }
    PutSelect(client, option.ippName, option.ippLabel, choices, chosen);
  }
  papplClientHTMLPuts(
      client, "<tr><th></th><td><input type=\"submit\" value=\"Show Preview\"></td></tr>\n"
              "</tbody></table></form>\n"
              "<div id=\"preview-problem\" class=\"banner\" hidden></div>\n"
              "<p><img id=\"preview\" alt=\"The label the printer would print\" "
              "style=\"max-width:100%;border:1px solid #888\" hidden></p>\n"
              "</div></div>\n"
              // Without a script the form's answer is the picture, or a page that says why not.
              "<script>\n"
              "(function () {\n"
              "  var form = document.getElementById('form');\n"
              "  var picture = document.getElementById('preview');\n"
              "  var problem = document.getElementById('preview-problem');\n"
              "  form.addEventListener('submit', function (event) {\n"
              "    event.preventDefault();\n"
              "    problem.hidden = true;\n"
              "    fetch(form.action, {method: 'POST', body: new FormData(form), credentials: "
              "'same-origin'})\n"
              "      .then(function (response) {\n"
              "        if (response.ok)\n"
              "          return response.blob().then(function (blob) {\n"
              "            if (picture.src) URL.revokeObjectURL(picture.src);\n"
              "            picture.src = URL.createObjectURL(blob);\n"
              "            picture.hidden = false;\n"
              "          });\n"
              "        return response.text().then(function (text) {\n"
              "          var why = new DOMParser().parseFromString(text, "
              "'text/html').getElementById('problem');\n"
              "          problem.textContent = why ? why.textContent : response.status + ' ' + "
              "response.statusText;\n"
              "          problem.hidden = false;\n"
              "          picture.hidden = true;\n"
              "        });\n"
              "      })\n"
              "      .catch(function (error) { problem.textContent = String(error); problem.hidden "
              "= false; });\n"
              "  });\n"
              "})();\n"
              "</script>\n");
  papplClientHTMLPrinterFooter(client);
}

// 'PreviewPage()' - PRINTER/preview: the page, or the picture it posts for.
bool PreviewPage(pappl_client_t *client, void *data) {
  auto *printer = static_cast<pappl_printer_t *>(data);
  if (!papplClientHTMLAuthorize(client))
    return true;
  if (papplClientGetMethod(client) == HTTP_STATE_POST)
    return PostPreview(client, printer);
  ShowPreviewPage(client, printer);
  return true;
}

} // namespace

void AddLabelPages(pappl_printer_t *printer) {
  pappl_system_t *system = papplPrinterGetSystem(printer);
  char path[256];
  papplSystemAddResourceCallback(system, papplPrinterGetPath(printer, "preview", path, sizeof path),
                                 "text/html", PreviewPage, printer);
  papplPrinterAddLink(
      printer, "Label Preview", path,
      static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
  papplSystemAddResourceCallback(system,
                                 papplPrinterGetPath(printer, "last-label.png", path, sizeof path),
                                 "image/png", LastLabelPicture, printer);
}
