// The one place where the printer application turns a gray page into dots:
// the engine's conversion, as the filter runs it for 8-bit pages.
#pragma once

#include "engine_sink.h"
#include "page_bytes.h"
#include "page_image.h"
#include "settings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// 'ConvertGrayPage()' - Binarise 'height' gray lines (255 = black) of
// 'bytesPerLine' bytes into 'pDataBuf' with the job's gray conversion and
// return the packed page; the conversion's log lines go to 'sink'. The
// working image is made in the memory of the lines, which are taken.
// Nothing when the conversion cannot get its memory.
std::optional<PackedPage> ConvertGrayPage(PageBytes &&lines, size_t bytesPerLine,
                                          int width, int height, GrayConversion mode,
                                          std::vector<uint8_t> &pDataBuf, const EngineSink &sink);
