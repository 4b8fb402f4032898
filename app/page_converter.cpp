#include "page_converter.h"

#include "working_image.h"

#include <new>
#include <system_error>
#include <utility>

PageConverter::PageConverter(PageBytes lines, int width, int height, GrayConversion mode,
                             EngineSink sink)
    : mode_(mode), sink_(std::move(sink)) {
  page_.format = LineFormat::SGray8;
  page_.width = width;
  page_.height = height;
  page_.bytesPerLine = InPlaceLineBytes(width);
  page_.bytes = std::move(lines);
  // The vector's bytes stay where they are when the conversion takes it.
  lines_ = std::span(page_.bytes);
  try {
    thread_ = std::thread([this] { Convert(); });
  } catch (const std::system_error &) {
    // No thread to be had: the page is converted once it is drawn.
  }
}

PageConverter::~PageConverter() {
  arriving_.Close();
  if (thread_.joinable())
    thread_.join();
}

void PageConverter::Convert() {
  converted_ = true;
  try {
    dots_ = IntakeArrivingPage(std::move(page_), arriving_, mode_, sink_);
  } catch (const std::bad_alloc &) {
    dots_.reset();
  }
}

std::optional<PackedPage> PageConverter::Finish() {
  arriving_.Close();
  if (thread_.joinable())
    thread_.join();
  if (!converted_)
    Convert();
  return std::move(dots_);
}
