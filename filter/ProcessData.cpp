#include "ProcessData.h"

#include "Color2BW.h"
#include "dump_file.h"
#include "job_log.h"
#include "printer_output.h"
#include "trace_address.h"
#include "transforms.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct SettingsCommand {
  const char *option;
  uint8_t code;
  std::optional<std::string> JobSettings::*choice;
};

// The printer's settings commands, sent in this order ahead of every page.
constexpr std::array<SettingsCommand, 8> kSettingsCommands{{
    {"PrintPressure", 0x02, &JobSettings::PrintPressure},
    {"PrintHeaderHeatingTemp", 0x0A, &JobSettings::PrintHeaderHeatingTemp},
    {"PrintHeaderOffset", 0x0C, &JobSettings::PrintHeaderOffset},
    {"EdageEnhance", 0x0D, &JobSettings::EdageEnhance},
    {"EdageEnhanceLength", 0x0E, &JobSettings::EdageEnhanceLength},
    {"PrintSpeed", 0x11, &JobSettings::PrintSpeed},
    {"Darkness", 0x12, &JobSettings::Darkness},
    {"UpwardOffset", 0x13, &JobSettings::UpwardOffset},
}};

// Feed after printing, in units of 30 dots, for the choices 1 to 13.
constexpr std::array<int, 13> nNum{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 18, 24};
constexpr int kLargestFeedChoice = 13;

constexpr std::array<uint8_t, 8> kBlankBand{0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x18, 0x00};

// Append a GS v 0 band of 24 rows from nStartRow; rows past the end of the
// page go out as zero bytes (no dots).
void AppendBand(PageBytes &pData, const PrinterRows &rows, int nImageWidth, int nImageHeight,
                int nStartRow) {
  const uint8_t header[8] = {0x1D, 0x76, 0x30, 0x00, static_cast<uint8_t>(nImageWidth % 256),
                             static_cast<uint8_t>(nImageWidth / 256), kBandRows, 0x00};
  pData.insert(pData.end(), header, header + 8);
  const size_t rowBytes = static_cast<size_t>(nImageWidth);
  const int rowsOnPage = std::clamp(nImageHeight - nStartRow, 0, kBandRows);
  const size_t at = pData.size();
  pData.resize(at + rowsOnPage * rowBytes);
  rows.Copy(nStartRow, rowsOnPage, pData.data() + at);
  pData.resize(at + kBandRows * rowBytes, 0x00);
}

void AppendBlankBand(PageBytes &pData) {
  pData.insert(pData.end(), kBlankBand.begin(), kBlankBand.end());
  pData.resize(pData.size() + kBandRows, 0x00);
}

// The page raster: 24-row bands, blank bands for white stretches between
// them, and nothing for the white rows at the end of the page.
void AppendRaster(PageBytes &pData, const PrinterRows &rows, int nImageWidth, int nImageHeight) {
  int nStartRow = 0;
  int nPictureRow = -1;
  int j = 0;
  while (j < nImageHeight) {
    if (nPictureRow == -1 && !rows.IsBlank(j))
      nPictureRow = j;
    if (nPictureRow == -1) {
      ++j;
      continue;
    }
    const int nRows = nPictureRow - nStartRow + 1;
    if (nRows <= kBandRows) {
      AppendBand(pData, rows, nImageWidth, nImageHeight, nStartRow);
      j = nStartRow + kBandRows;
    } else {
      const int n = ((nRows - 1) / kBandRows) * kBandRows;
      for (int k = 0; k < n / kBandRows; ++k)
        AppendBlankBand(pData);
      AppendBand(pData, rows, nImageWidth, nImageHeight, nStartRow + n);
      j = nStartRow + n + kBandRows;
    }
    nPictureRow = -1;
    nStartRow = j;
  }
}

// The most bytes one copy of the page's stream can take: every settings
// command, a full band for every group of 24 rows, the longest feed, the cut.
size_t StreamBound(int nImageWidth, int nImageHeight) {
  const uint64_t groups = (static_cast<uint64_t>(nImageHeight) + kBandRows - 1) / kBandRows;
  const uint64_t band = std::max<uint64_t>(8 + uint64_t{kBandRows} * nImageWidth, 32);
  return static_cast<size_t>(3 * kSettingsCommands.size() + groups * band + 9 + 3);
}

void AppendFeed(PageBytes &pData, const std::optional<std::string> &choice) {
  if (!choice)
    return;
  long long nFeed = ChoiceNumber(*choice);
  if (nFeed <= 0)
    return;
  // Choices beyond the table feed as far as the largest one.
  nFeed = std::min<long long>(nFeed, kLargestFeedChoice);
  const int nDistance = nNum[nFeed - 1] * 30;
  for (int i = 0; i < nDistance / 255; ++i)
    pData.insert(pData.end(), {0x1B, 0x4A, 0xFF});
  if (nDistance % 255 > 0)
    pData.insert(pData.end(), {0x1B, 0x4A, static_cast<uint8_t>(nDistance % 255)});
}

void DumpStream(std::span<const uint8_t> stream) {
  errno = 0;
  FilePtr f = OpenDumpFile("/tmp/RZ540");
  int err = errno;
  fprintf(stderr, "ERROR: fopen RZ540.data f=%x errno=%d desc=%s\n", Trace(f.get()), err,
          strerror(err));
  if (f)
    WriteDump(f.get(), stream);
}

} // namespace

long long ChoiceNumber(const std::string &keyword) {
  // strtoll has the decimal-prefix rule and saturates instead of overflowing.
  return strtoll(keyword.c_str(), nullptr, 10);
}

PageOutcome ProcessData(const JobSettings &settings, const cups_page_header2_t &header,
                        std::span<uint8_t> pDataBuf, int biWidth, int biHeight) {
  fprintf(stderr, "ERROR: call ProcessData\n");

  int nImageWidth = header.cupsBitsPerPixel == 1 ? static_cast<int>(header.cupsBytesPerLine)
                                                 : static_cast<int>(PackedStride(biWidth));
  int nImageHeight = biHeight;
  const unsigned dwCopies = header.NumCopies;
  fprintf(stderr, "ERROR: ProcessData nImageWidth=%d biHeight=%d\n", nImageWidth, biHeight);

  const int nMirror = IsChoice(settings.MirrorImage, "True") ? 1 : 0;
  fprintf(stderr, "ERROR: ProcessData nMirror=%d\n", nMirror);
  const int nInverse = IsChoice(settings.NegativeImage, "True") ? 1 : 0;
  int nDirection = 0;
  if (IsChoice(settings.Origin, "Rotation90"))
    nDirection = 1;
  else if (IsChoice(settings.Origin, "Rotation180"))
    nDirection = 2;
  else if (IsChoice(settings.Origin, "Rotation270"))
    nDirection = 3;
  fprintf(stderr, "ERROR: ProcessData nInverse=%d nDirection=%d\n", nInverse, nDirection);
  const bool quarterTurn = nDirection == 1 || nDirection == 3;

  // A quarter turn makes the page's length its width; the band header can
  // only say so up to 65535 bytes.
  if (quarterTurn && PackedStride(biHeight) > kMaxBandWidthBytes) {
    fprintf(stderr,
            "ERROR: Page of %d rows is too long to print turned by 90 degrees; page skipped.\n",
            biHeight);
    return PageOutcome::NotPrintable;
  }

  // The transforms, in order; each works on the result of the one before.
  // A 1-bit page comes in as the raster has it, 1 for black; the others are
  // converted with 0 for black. The quarter turn and the mirror fill with
  // white 1 bits, so a 1-bit page they work on is complemented first.
  std::span<uint8_t> pBuf = pDataBuf.first(static_cast<size_t>(nImageWidth) * nImageHeight);
  bool blackIsOne = header.cupsBitsPerPixel == 1;
  PageBytes pBuf180;
  std::vector<uint8_t> pBuf90, pMirror;
  // Without a mirror to follow, the half turn is done while the bands are
  // built: the turned rows go straight into the command buffer.
  const bool turnIntoBands = nDirection == 0 && nMirror == 0;
  if (blackIsOne && (nMirror == 1 || quarterTurn)) {
    InvertPage(pBuf);
    blackIsOne = false;
  }
  if (nDirection == 0 && !turnIntoBands) {
    pBuf180 = HalfTurn(pBuf, biWidth, biHeight, nImageWidth);
    pBuf = pBuf180;
  }
  fprintf(stderr, "ERROR: ProcessDatan Direction == 1 || nDirection == 3\n");
  if (quarterTurn) {
    fprintf(stderr, "ERROR: ProcessData Rotate90Degrees\n");
    pBuf90 = Rotate90Degrees(pBuf, biWidth, biHeight, nImageWidth);
    nImageHeight = biWidth;
    nImageWidth = static_cast<int>(PackedStride(biHeight));
    pBuf = pBuf90;
  }
  fprintf(stderr, "ERROR: ProcessDatan nMirror\n");
  const int pictureW = quarterTurn ? biHeight : biWidth;
  const int pictureH = quarterTurn ? biWidth : biHeight;
  if (nMirror == 1) {
    fprintf(stderr, "ERROR: ProcessData MirrorPicture\n");
    auto mirrored = MirrorPicture(pictureW, pictureH, nImageWidth, pBuf);
    if (mirrored) {
      pMirror = std::move(*mirrored);
      pBuf = pMirror;
    }
  }
  // The printer prints 1 bits as dots: black pixels, or with "NegativeImage"
  // the white ones. The complement is done as the rows are copied.
  fprintf(stderr, "ERROR: ProcessData nInverse=%d\n", nInverse);
  if (nInverse == 0)
    fprintf(stderr, "ERROR: ProcessData nInverse\n");
  const bool dotIsOne = nInverse == 0;
  const PrinterRows rows(pBuf, pictureW, pictureH, nImageWidth, turnIntoBands,
                         blackIsOne == dotIsOne ? 0x00 : 0xFF, dotIsOne ? 0x00 : 0xFF);

  // The page's whole command stream is built in one buffer first, so a page
  // that cannot be built never reaches the printer half-written.
  PageBytes pData;
  pData.reserve(StreamBound(nImageWidth, nImageHeight));
  fprintf(stderr, "ERROR: ProcessData malloc pData=%x\n", Trace(pData.data()));

  for (const SettingsCommand &command : kSettingsCommands) {
    const std::optional<std::string> &choice = settings.*command.choice;
    if (!choice)
      continue;
    const uint8_t n = static_cast<uint8_t>(ChoiceNumber(*choice));
    pData.insert(pData.end(), {0x19, command.code, n});
    fprintf(stderr, "ERROR: %s=%s\n", command.option, Printable(*choice).c_str());
  }
  fprintf(stderr, "ERROR: ProcessData nOffset=%d j=%d nImageHeight=%d\n",
          static_cast<int>(pData.size()), 0, nImageHeight);

  AppendRaster(pData, rows, nImageWidth, nImageHeight);

  fprintf(stderr, "ERROR: ProcessData FeedAfterPrinting\n");
  AppendFeed(pData, settings.FeedAfterPrinting);

  fprintf(stderr, "ERROR: ProcessData Cutting\n");
  if (IsChoice(settings.Cutting, "1"))
    pData.insert(pData.end(), {0x1D, 0x56, 0x00});

  fprintf(stderr, "ERROR: cupsWritePrintData\n");
  for (unsigned copy = 0; copy < dwCopies; ++copy)
    if (!WritePrinterData(pData))
      return PageOutcome::OutputFailed;

  const int nOffset = static_cast<int>(pData.size());
  fprintf(stderr, "ERROR: save data to MW62-filter DataLength=%d sizeof(nOffset)=%d\n", nOffset,
          static_cast<int>(sizeof(nOffset)));
  DumpStream(pData);

  fprintf(stderr, "ERROR: free pMirror=%x\n", Trace(pMirror.data()));
  // A half turn done into the bands has the command buffer for its buffer.
  fprintf(stderr, "ERROR: free pBuf180=%x\n",
          Trace(turnIntoBands ? pData.data() : pBuf180.data()));
  fprintf(stderr, "ERROR: free pBuf90=%x\n", Trace(pBuf90.data()));
  fprintf(stderr, "ERROR: free pData=%x\n", Trace(pData.data()));
  fprintf(stderr, "ERROR: ProcessData return\n");
  return PageOutcome::Printed;
}
