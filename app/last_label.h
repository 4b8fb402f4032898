// The printer stream of the last job a printer printed, kept in memory for
// the picture of its last label. As a job goes on, the labels it has cut
// off are let go: what is kept starts at the last cut, and a label longer
// than kKeptBytes of printer commands is not kept at all.
#pragma once

#include "label_png.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Two of the longest pages' printer commands (832 x 39960 dots each), with
// room to spare.
inline constexpr size_t kKeptBytes = 8 << 20;

class LastLabel {
public:
  // 'Start()' - A job starts; its labels read upright turned clockwise by
  // 'quarterTurns' quarter turns. On the job's thread, as are Sent() and End().
  void Start(int quarterTurns);
  // 'Sent()' - Bytes the job sent to the printer.
  void Sent(std::span<const uint8_t> bytes);
  // 'End()' - The job is over: what it sent, if anything, is the last job's.
  void End();

  // 'Picture()' - The last label of the last job that sent anything, as
  // labelpreview draws it turned upright, or why there is none; nothing
  // before such a job. On any thread.
  std::optional<preview::LabelPng> Picture() const;
  // 'Jobs()' - How many jobs have sent anything: a new number, a new picture.
  unsigned Jobs() const;

private:
  struct Stream {
    std::vector<uint8_t> bytes; // from the start of a label on
    size_t letGo = 0;           // bytes of the job before them
    unsigned widthBytes = 1;    // the widest band of those
    int quarterTurns = 2;
    std::string problem; // why the job's label is not kept
  };
  // 'LetGoCutLabels()' - Drop the bytes before the job's last label with
  // paper so far: the labels cut off before it.
  void LetGoCutLabels();

  Stream job_;        // the job's; only its thread touches it
  bool sent_ = false; // the job sent something
  mutable std::mutex mutex_;
  std::shared_ptr<const Stream> last_; // the last job's
  unsigned jobs_ = 0;
};
