#include "last_label.h"

#include "paper.h"
#include "stream_decoder.h"
#include "stream_picture.h"

#include <algorithm>
#include <new>

void LastLabel::Start(int quarterTurns) {
  job_ = Stream{};
  job_.quarterTurns = quarterTurns;
  sent_ = false;
}

void LastLabel::LetGoCutLabels() {
  const preview::DecodedStream decoded = preview::DecodeStream(job_.bytes);
  // A stream that breaks off at its end goes on in the next bytes; any other
  // fault makes it a stream labelpreview draws nothing of.
  if (decoded.error && decoded.error->kind != preview::ErrorKind::kTruncated) {
    job_.problem = "the printer stream is malformed at offset " +
                   std::to_string(job_.letGo + decoded.error->offset) + ": " +
                   decoded.error->message;
    return;
  }
  // The last label with paper so far may be the job's last: it is kept,
  // from its first command on. Without one, the cut-off paperless pieces go.
  const std::vector<preview::Label> labels = preview::SplitLabels(decoded.commands);
  size_t first = 0;
  if (!labels.empty())
    first = labels.back().first;
  else
    for (size_t i = 0; i < decoded.commands.size(); ++i)
      if (decoded.commands[i].kind == preview::CommandKind::kCut)
        first = i + 1;
  if (first == 0)
    return;
  const preview::Command &after = decoded.commands[first - 1];
  const size_t end = after.offset + after.length;
  job_.widthBytes =
      std::max(job_.widthBytes, preview::PaperWidthBytes(std::span(decoded.commands).first(first)));
  job_.bytes.erase(job_.bytes.begin(), job_.bytes.begin() + static_cast<ptrdiff_t>(end));
  job_.letGo += end;
}

void LastLabel::Sent(std::span<const uint8_t> bytes) {
  sent_ = sent_ || !bytes.empty();
  if (!job_.problem.empty())
    return;
  if (job_.bytes.size() + bytes.size() > kKeptBytes)
    LetGoCutLabels();
  if (job_.problem.empty() && job_.bytes.size() + bytes.size() > kKeptBytes)
    job_.problem = "its last label is longer than the " + std::to_string(kKeptBytes >> 20) +
                   " MB of printer commands kept for its picture";
  if (job_.problem.empty()) {
    try {
      job_.bytes.insert(job_.bytes.end(), bytes.begin(), bytes.end());
    } catch (const std::bad_alloc &) {
      job_.problem = "there was not enough memory to keep its label";
    }
  }
  if (!job_.problem.empty())
    std::vector<uint8_t>().swap(job_.bytes);
}

void LastLabel::End() {
  if (!sent_)
    return;
  std::shared_ptr<const Stream> last;
  try {
    last = std::make_shared<const Stream>(std::move(job_));
  } catch (const std::bad_alloc &) {
    return;
  }
  job_ = Stream{};
  sent_ = false;
  std::lock_guard lock(mutex_);
  last_ = std::move(last);
  ++jobs_;
}

std::optional<preview::LabelPng> LastLabel::Picture() const {
  std::shared_ptr<const Stream> last;
  {
    std::lock_guard lock(mutex_);
    last = last_;
  }
  if (!last)
    return std::nullopt;
  if (!last->problem.empty())
    return preview::LabelPng{{}, last->problem};
  return StreamLabelPng(last->bytes, WhichLabel::Last, last->quarterTurns, last->widthBytes,
                        last->letGo);
}

unsigned LastLabel::Jobs() const {
  std::lock_guard lock(mutex_);
  return jobs_;
}
