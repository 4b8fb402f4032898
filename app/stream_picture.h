// Pictures of what the printer prints for the web page: a label of a
// printer stream as labelpreview draws it, turned to read as it does in the
// hand.
#pragma once

#include "label_png.h"
#include "printer_model.h"
#include "settings.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The longest label the web page draws: two of the longest pages, 10 m of
// paper.
inline constexpr uint64_t kMostWebPictureRows = 2 * uint64_t{kMaxPageRows};

// 'UprightQuarterTurns()' - The clockwise quarter turns that make a label
// printed with 'origin' read upright: the printer feeds a page of the
// default origin head first (a half turn) and turns one of 90 or 270 degrees
// a quarter clockwise.
int UprightQuarterTurns(Origin origin);

// Which label of the stream.
enum class WhichLabel { First, Last };

// 'StreamLabelPng()' - The picture of the first or last label of a printer
// stream that labelpreview --rotate draws: on paper as wide as the
// stream's widest band, or 'widthBytes' when wider, turned clockwise by
// 'quarterTurns'. A stream labelpreview calls malformed, one that puts out
// no paper, or a label wider than the head or longer than
// kMostWebPictureRows gives the reason instead; the offset of a fault counts
// from 'streamOffset', where 'stream' starts in the job's.
preview::LabelPng StreamLabelPng(std::span<const uint8_t> stream, WhichLabel which,
                                 int quarterTurns, unsigned widthBytes = 1,
                                 size_t streamOffset = 0);
