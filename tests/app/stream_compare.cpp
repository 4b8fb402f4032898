// 'stream_compare' - Where two printer streams part, read through the decoder:
// the first command that differs, and for a band the first dot, as a place on
// the paper (row from the first row out, dot from the left).
//
//   stream_compare STREAM REFERENCE
//
// Exit status 0 when both print the same commands and dots, 1 with one line
// on standard output that names the place, 2 when a stream cannot be read.
#include "stream_decoder.h"
#include "support/file_bytes.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string Describe(const preview::Command *c) {
  if (!c)
    return "the end of the stream";
  switch (c->kind) {
  case preview::CommandKind::kSetting:
    return std::string("setting ") + preview::SettingName(c->code) + " " + std::to_string(c->value);
  case preview::CommandKind::kBand:
    return "band " + std::to_string(c->widthBytes) + " x " + std::to_string(c->height);
  case preview::CommandKind::kBlankBand:
    return "blank band";
  case preview::CommandKind::kFeed:
    return "feed " + std::to_string(c->value);
  case preview::CommandKind::kCut:
    return "cut";
  }
  return "?";
}

bool SameCommand(const preview::Command &a, const preview::Command &b) {
  return a.kind == b.kind && a.code == b.code && a.value == b.value &&
         a.widthBytes == b.widthBytes && a.height == b.height;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: stream_compare STREAM REFERENCE\n");
    return 2;
  }
  const auto stream = testsupport::ReadWholeFile(argv[1]);
  const auto reference = testsupport::ReadWholeFile(argv[2]);
  if (!stream || !reference) {
    fprintf(stderr, "stream_compare: cannot read %s\n", stream ? argv[2] : argv[1]);
    return 2;
  }
  const preview::DecodedStream a = preview::DecodeStream(*stream);
  const preview::DecodedStream b = preview::DecodeStream(*reference);

  uint64_t paperRow = 0;
  for (size_t i = 0; i < a.commands.size() || i < b.commands.size(); ++i) {
    const preview::Command *x = i < a.commands.size() ? &a.commands[i] : nullptr;
    const preview::Command *y = i < b.commands.size() ? &b.commands[i] : nullptr;
    if (!x || !y || !SameCommand(*x, *y)) {
      printf("command %zu, paper row %llu: %s instead of %s\n", i + 1,
             static_cast<unsigned long long>(paperRow), Describe(x).c_str(), Describe(y).c_str());
      return 1;
    }
    for (size_t k = 0; k < x->rows.size(); ++k)
      if (x->rows[k] != y->rows[k]) {
        const unsigned diff = x->rows[k] ^ y->rows[k];
        unsigned bit = 0;
        while (!(diff & (0x80u >> bit)))
          ++bit;
        printf("command %zu, paper row %llu, dot %zu: %s in the stream, %s in the reference\n",
               i + 1, static_cast<unsigned long long>(paperRow + k / x->widthBytes),
               k % x->widthBytes * 8 + bit, (x->rows[k] & (0x80u >> bit)) ? "black" : "white",
               (y->rows[k] & (0x80u >> bit)) ? "black" : "white");
        return 1;
      }
    paperRow += preview::PaperRows(*x);
  }
  if (a.error || b.error) {
    const preview::DecodeError &e = a.error ? *a.error : *b.error;
    printf("%s: %s at byte %zu\n", a.error ? "the stream" : "the reference", e.message.c_str(),
           e.offset);
    return 1;
  }
  return 0;
}
