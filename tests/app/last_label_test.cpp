// What a printer keeps of its last job for the picture of its last label:
// a job longer than it keeps still gives its last label, drawn as from the
// whole stream, and a job it cannot draw says why.
#include "last_label.h"

#include "paper.h"
#include "stream_decoder.h"
#include "support/printer_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::Band;
using testsupport::Cat;
using testsupport::Feed;
using testsupport::kCut;

// Label n: a band 'widthBytes' wide, 2400 rows, its first row marking n.
Bytes NumberedLabel(unsigned widthBytes, unsigned n) {
  Bytes rows(size_t{widthBytes} * 2400, 0x00);
  rows[n % widthBytes] = 0xFF;
  return Cat({Band(widthBytes, 2400, rows), Feed(30), kCut});
}

// 'SendJob()' - A job as the printer takes it, in pieces of an odd size
// that cut through the commands.
void SendJob(LastLabel &last, const Bytes &stream, int quarterTurns) {
  last.Start(quarterTurns);
  for (size_t at = 0; at < stream.size(); at += 4099)
    last.Sent(std::span(stream).subspan(at, std::min<size_t>(4099, stream.size() - at)));
  last.End();
}

TEST(LastLabel, HasNoPictureBeforeAJobSendsAnything) {
  LastLabel last;
  EXPECT_FALSE(last.Picture());
  SendJob(last, {}, 2);
  EXPECT_FALSE(last.Picture());
  EXPECT_EQ(last.Jobs(), 0u);
}

TEST(LastLabel, DrawsTheLastLabelOfAJobLongerThanItKeeps) {
  // A first label as wide as the head, then narrower ones: together more
  // than is kept.
  Bytes stream = NumberedLabel(104, 0);
  unsigned n = 1;
  while (stream.size() <= 2 * kKeptBytes)
    stream = Cat({stream, NumberedLabel(60, n++)});
  LastLabel last;
  SendJob(last, stream, 1);

  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  ASSERT_FALSE(decoded.error);
  const std::vector<preview::Label> labels = preview::SplitLabels(decoded.commands);
  ASSERT_EQ(labels.size(), n);
  const std::optional<preview::LabelPng> picture = last.Picture();
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->problem, "");
  // As from the whole stream: the last label, on paper as wide as the
  // first's, turned a quarter; the label before it differs.
  const unsigned width = preview::PaperWidthBytes(decoded.commands);
  EXPECT_EQ(width, 104u);
  EXPECT_EQ(picture->png, preview::EncodeLabelPng(decoded.commands, labels.back(), width, 1).png);
  EXPECT_NE(picture->png, preview::EncodeLabelPng(decoded.commands, labels[n - 2], width, 1).png);
  EXPECT_EQ(last.Jobs(), 1u);
}

TEST(LastLabel, SaysWhyAJobItCannotDrawHasNoPicture) {
  LastLabel last;
  // A stream that breaks off, sent after enough to be let go.
  SendJob(last, Cat({NumberedLabel(104, 0), Bytes(kKeptBytes, 0x41)}), 2);
  EXPECT_EQ(last.Picture()->problem, "the printer stream is malformed at offset " +
                                         std::to_string(NumberedLabel(104, 0).size()) +
                                         ": unknown command byte 0x41");
  // One label longer than is kept.
  Bytes longLabel = Band(104, 60000);
  SendJob(last, Cat({longLabel, longLabel, kCut}), 2);
  EXPECT_EQ(last.Picture()->problem,
            "its last label is longer than the 8 MB of printer commands kept for its picture");
  EXPECT_EQ(last.Jobs(), 2u);
}

} // namespace
