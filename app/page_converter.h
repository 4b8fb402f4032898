// A print job's image page converted to dots on a thread of its own while
// the job's thread draws it: the engine decides each row as soon as the
// rows around it are drawn, so that decoding the image and converting its
// page share the machine's cores.
#pragma once

#include "arriving_rows.h"
#include "engine_sink.h"
#include "intake.h"
#include "page_bytes.h"
#include "settings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <thread>

class PageConverter {
public:
  // Takes over 'lines', the page's 'height' lines of grays (0 = black),
  // InPlaceLineBytes(width) bytes each, and starts on them as they are
  // drawn; Lines() is where they are drawn from now on.
  PageConverter(PageBytes lines, int width, int height, GrayConversion mode, EngineSink sink);
  PageConverter(const PageConverter &) = delete;
  PageConverter &operator=(const PageConverter &) = delete;
  ~PageConverter();

  std::span<uint8_t> Lines() const { return lines_; }

  // 'Drawn()' - Lines 0 .. rows - 1 are drawn and are not written again.
  void Drawn(int rows) { arriving_.Drawn(rows); }

  // 'Finish()' - The page of dots once every line is drawn; nothing when
  // the conversion had not the memory for it.
  std::optional<PackedPage> Finish();

private:
  void Convert();

  RasterLines page_; // until the conversion takes it
  std::span<uint8_t> lines_;
  GrayConversion mode_;
  EngineSink sink_;
  ArrivingRows arriving_;
  std::optional<PackedPage> dots_;
  bool converted_ = false;
  std::thread thread_; // last: it starts when the rest is in place
};
