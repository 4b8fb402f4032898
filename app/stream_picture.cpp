#include "stream_picture.h"

#include "paper.h"
#include "stream_decoder.h"

#include <algorithm>
#include <new>
#include <string>

int UprightQuarterTurns(Origin origin) {
  switch (origin) {
  case Origin::Rotation0:
    return 2;
  case Origin::Rotation90:
  case Origin::Rotation270:
    return 3;
  case Origin::Rotation180:
    break;
  }
  return 0;
}

preview::LabelPng StreamLabelPng(std::span<const uint8_t> stream, WhichLabel which,
                                 int quarterTurns, unsigned widthBytes, size_t streamOffset) {
  try {
    const preview::DecodedStream decoded = preview::DecodeStream(stream);
    if (decoded.error)
      return {{},
              "the printer stream is malformed at offset " +
                  std::to_string(streamOffset + decoded.error->offset) + ": " +
                  decoded.error->message};
    const std::vector<preview::Label> labels = preview::SplitLabels(decoded.commands);
    if (labels.empty())
      return {{}, "no paper comes out of the printer"};
    const preview::Label &label = which == WhichLabel::First ? labels.front() : labels.back();
    widthBytes = std::max(widthBytes, preview::PaperWidthBytes(decoded.commands));
    if (widthBytes * 8 > kHeadDots)
      return {{},
              "the paper is " + std::to_string(widthBytes * 8) +
                  " dots wide; the printer's head prints " + std::to_string(kHeadDots)};
    if (label.rows > kMostWebPictureRows)
      return {{},
              "the label is " + std::to_string(label.rows) +
                  " rows long; the web page draws labels of up to " +
                  std::to_string(kMostWebPictureRows) + " rows"};
    return preview::EncodeLabelPng(decoded.commands, label, widthBytes, quarterTurns);
  } catch (const std::bad_alloc &) {
    return {{}, "not enough memory for the picture"};
  }
}
