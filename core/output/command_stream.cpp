#include "command_stream.h"

#include "log_text.h"
#include "trace_address.h"
#include "transforms.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

namespace {

// Feed after printing, in units of 30 dots, for the choices 1 to 13.
constexpr std::array<int, kLargestFeedChoice> nNum{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 18, 24};

constexpr std::array<uint8_t, 8> kBlankBand{0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x18, 0x00};

// Append a GS v 0 band of 24 rows from nStartRow; rows past the end of the
// page go out as zero bytes (no dots).
void AppendBand(PageBytes &pData, const PrinterRows &rows, int nImageWidth, int nImageHeight,
                int nStartRow) {
  const uint8_t header[8] = {0x1D,
                             0x76,
                             0x30,
                             0x00,
                             static_cast<uint8_t>(nImageWidth % 256),
                             static_cast<uint8_t>(nImageWidth / 256),
                             kBandRows,
                             0x00};
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

void AppendFeed(PageBytes &pData, int nFeed) {
  const int nDistance = FeedDots(nFeed);
  for (int i = 0; i < nDistance / 255; ++i)
    pData.insert(pData.end(), {0x1B, 0x4A, 0xFF});
  if (nDistance % 255 > 0)
    pData.insert(pData.end(), {0x1B, 0x4A, static_cast<uint8_t>(nDistance % 255)});
}

} // namespace

int FeedDots(int nFeed) {
  return nFeed <= 0 || nFeed > kLargestFeedChoice ? 0 : nNum[nFeed - 1] * 30;
}

PageOutcome ProcessData(const JobSettings &settings, PackedPage &page, unsigned dwCopies,
                        const EngineSink &sink) {
  // The page's lines go to the log before anything that may wait or fail:
  // the printer, a dump, a buffer that cannot be had, the return. They are
  // traces, but for the reason a page is not printed.
  LogText log;
  auto flushLog = [&](LogLevel level = LogLevel::Trace) {
    sink.log(level, log.str());
    log.clear();
  };
  const int biWidth = page.width;
  const int biHeight = page.height;
  log << "call ProcessData\n";

  int nImageWidth = page.stride;
  int nImageHeight = biHeight;
  log << "ProcessData nImageWidth=" << nImageWidth << " biHeight=" << biHeight << "\n";

  const int nMirror = settings.mirror ? 1 : 0;
  log << "ProcessData nMirror=" << nMirror << "\n";
  const int nInverse = settings.negative ? 1 : 0;
  const int nDirection = static_cast<int>(settings.origin);
  log << "ProcessData nInverse=" << nInverse << " nDirection=" << nDirection << "\n";
  const bool quarterTurn = nDirection == 1 || nDirection == 3;

  // A quarter turn makes the page's length its width; the band header can
  // only say so up to 65535 bytes.
  if (quarterTurn && PackedStride(biHeight) > kMaxBandWidthBytes) {
    flushLog();
    log << "Page of " << biHeight
        << " rows is too long to print turned by 90 degrees; page skipped.\n";
    flushLog(LogLevel::Failure);
    return PageOutcome::NotPrintable;
  }

  // The transforms, in order; each works on the result of the one before.
  // The quarter turn and the mirror fill with white 1 bits, so a page with
  // 1 for black that they work on is complemented first.
  std::span<uint8_t> pBuf =
      std::span(page.bits).first(static_cast<size_t>(nImageWidth) * nImageHeight);
  bool blackIsOne = page.blackIsOne;
  PageBytes pBuf180;
  std::vector<uint8_t> pBuf90, pMirror;
  // Without a mirror to follow, the half turn is done while the bands are
  // built: the turned rows go straight into the command buffer.
  const bool turnIntoBands = nDirection == 0 && nMirror == 0;
  if (blackIsOne && (nMirror == 1 || quarterTurn)) {
    InvertPage(pBuf);
    blackIsOne = false;
  }
  flushLog();
  if (nDirection == 0 && !turnIntoBands) {
    pBuf180 = HalfTurn(pBuf, biWidth, biHeight, nImageWidth);
    pBuf = pBuf180;
  }
  log << "ProcessDatan Direction == 1 || nDirection == 3\n";
  if (quarterTurn) {
    log << "ProcessData Rotate90Degrees\n";
    flushLog();
    pBuf90 = Rotate90Degrees(pBuf, biWidth, biHeight, nImageWidth);
    nImageHeight = biWidth;
    nImageWidth = static_cast<int>(PackedStride(biHeight));
    pBuf = pBuf90;
  }
  log << "ProcessDatan nMirror\n";
  const int pictureW = quarterTurn ? biHeight : biWidth;
  const int pictureH = quarterTurn ? biWidth : biHeight;
  if (nMirror == 1) {
    log << "ProcessData MirrorPicture\n";
    flushLog();
    pMirror = MirrorPicture(pictureW, pictureH, nImageWidth, pBuf);
    pBuf = pMirror;
  }
  // The printer prints 1 bits as dots: black pixels, or with "NegativeImage"
  // the white ones. The complement is done as the rows are copied.
  log << "ProcessData nInverse=" << nInverse << "\n";
  if (nInverse == 0)
    log << "ProcessData nInverse\n";
  const bool dotIsOne = nInverse == 0;
  const PrinterRows rows(pBuf, pictureW, pictureH, nImageWidth, turnIntoBands,
                         blackIsOne == dotIsOne ? 0x00 : 0xFF, dotIsOne ? 0x00 : 0xFF);

  // The page's whole command stream is built in one buffer first, so a page
  // that cannot be built never reaches the printer half-written.
  flushLog();
  PageBytes pData;
  pData.reserve(StreamBound(nImageWidth, nImageHeight));
  log << "ProcessData malloc pData=";
  log.Hex(Trace(pData.data())) << "\n";

  for (size_t i = 0; i < kSettingsCommands.size(); ++i) {
    const std::optional<SettingValue> &value = settings.commands[i];
    if (!value)
      continue;
    pData.insert(pData.end(), {0x19, kSettingsCommands[i].code, value->n});
    log << kSettingsCommands[i].option << "=" << Printable(value->keyword) << "\n";
  }
  log << "ProcessData nOffset=" << static_cast<int>(pData.size()) << " j=" << 0
      << " nImageHeight=" << nImageHeight << "\n";

  AppendRaster(pData, rows, nImageWidth, nImageHeight);

  log << "ProcessData FeedAfterPrinting\n";
  AppendFeed(pData, settings.feedChoice);

  log << "ProcessData Cutting\n";
  if (settings.cutting == Cutting::EveryPage)
    pData.insert(pData.end(), std::begin(kCutCommand), std::end(kCutCommand));

  log << "cupsWritePrintData\n";
  flushLog();
  for (unsigned copy = 0; copy < dwCopies; ++copy)
    if (!sink.print(pData))
      return PageOutcome::OutputFailed;

  const int nOffset = static_cast<int>(pData.size());
  log << "save data to MW62-filter DataLength=" << nOffset
      << " sizeof(nOffset)=" << static_cast<int>(sizeof(nOffset)) << "\n";
  flushLog();
  const std::span<const uint8_t> stream = pData;
  sink.dump(Dump::PrinterStream, std::span(&stream, 1));

  log << "free pMirror=";
  log.Hex(Trace(pMirror.data())) << "\n";
  // A half turn done into the bands has the command buffer for its buffer.
  log << "free pBuf180=";
  log.Hex(Trace(turnIntoBands ? pData.data() : pBuf180.data())) << "\n";
  log << "free pBuf90=";
  log.Hex(Trace(pBuf90.data())) << "\n";
  log << "free pData=";
  log.Hex(Trace(pData.data())) << "\n";
  log << "ProcessData return\n";
  flushLog();
  return PageOutcome::Printed;
}
