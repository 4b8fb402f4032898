// Shared by the preview tests: hand-made printer streams, pictures of dots
// (the pages sent to the filter, the paper expected from the printer, the
// paper labelpreview draws), a private folder and a run of the real filter.
// The streams, pictures and folder are the test support's.
#pragma once

#include "paper.h"
#include "stream_decoder.h"
#include "support/picture.h"
#include "support/printer_bytes.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace previewtest {

using Bytes = std::vector<uint8_t>;

using testsupport::Band;
using testsupport::BlankBand;
using testsupport::Cat;
using testsupport::Feed;
using testsupport::kCut;
using testsupport::LongFeed;
using testsupport::OneBitPage;
using testsupport::Picture;
using testsupport::Scattered;
using testsupport::TempDir;
using testsupport::Twice;

// The picture in rows of 'widthBytes' bytes, leftmost dot in the top bit,
// 1 = black.
Picture FromRows(std::span<const uint8_t> bytes, int widthBytes);

// The labels of a well-formed stream as labelpreview draws them.
std::vector<Picture> DrawnLabels(std::span<const uint8_t> stream);

// The rows of 'dots' one under another.
Picture Stacked(const std::vector<Picture> &parts);

::testing::AssertionResult SameDots(const Picture &actual, const Picture &expected);

// The printer stream the real labelfilter writes for the pages, with a PPD
// whose options offer just the given choices, marked as defaults.
std::vector<uint8_t> FilterStream(const std::map<std::string, std::string> &marked,
                                  const std::vector<testsupport::RasterPage> &pages);

} // namespace previewtest
