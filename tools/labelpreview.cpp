// labelpreview: shows what the label printer does with a command stream, as a
// listing of its commands or as pictures of the labels that come out.
//
//   labelpreview --list [FILE]          one line per command
//   labelpreview [FILE] -o label.png    the picture of the one label
//   labelpreview [FILE] -o DIR/         DIR/label-001.png, ... one per label
//   --rotate 90|180|270                 pictures turned clockwise by so much
//
// FILE "-" or none is standard input. Exit status: 0 for a well-formed
// stream, 1 for a malformed one (the message names the byte offset), 2 for a
// wrong command line, an input that cannot be read or a picture that cannot
// be written.
#include "label_png.h"
#include "paper.h"
#include "stream_decoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kMalformed = 1;
constexpr int kTrouble = 2;
constexpr double kDotsPerMm = 203 / 25.4;

const char *const kUsage = "usage: labelpreview [--list] [--rotate 90|180|270] [FILE|-] "
                           "[-o PICTURE.png | -o DIR/]\n";

struct Arguments {
  bool list = false;
  std::string input = "-";
  std::string output;   // empty: no pictures
  int quarterTurns = 0; // the pictures turned clockwise
};

bool ParseArguments(int argc, char **argv, Arguments &args) {
  bool haveInput = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--list") {
      args.list = true;
    } else if (arg == "--rotate" && i + 1 < argc) {
      const std::string degrees = argv[++i];
      if (degrees != "90" && degrees != "180" && degrees != "270")
        return false;
      args.quarterTurns = std::stoi(degrees) / 90;
    } else if (arg == "-o" && i + 1 < argc && argv[i + 1][0] != '\0') {
      args.output = argv[++i];
    } else if ((arg == "-" || arg[0] != '-') && !haveInput) {
      args.input = arg;
      haveInput = true;
    } else {
      return false;
    }
  }
  return args.list || !args.output.empty();
}

bool ReadInput(const std::string &path, std::vector<uint8_t> &bytes) {
  FILE *f = path == "-" ? stdin : fopen(path.c_str(), "rb");
  if (f == nullptr) {
    fprintf(stderr, "labelpreview: cannot open %s: %s\n", path.c_str(), strerror(errno));
    return false;
  }
  uint8_t block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, f)) > 0)
    bytes.insert(bytes.end(), block, block + got);
  const bool ok = !ferror(f);
  if (!ok)
    fprintf(stderr, "labelpreview: cannot read %s\n", path.c_str());
  if (f != stdin)
    fclose(f);
  return ok;
}

// 'ListCommand()' - One line for one command: offset, what it is, what it does.
void ListCommand(const preview::Command &c) {
  printf("%8zu  ", c.offset);
  switch (c.kind) {
  case preview::CommandKind::kSetting:
    printf("setting %s (0x%02X) = %u\n", preview::SettingName(c.code), c.code, c.value);
    break;
  case preview::CommandKind::kBand:
    printf("band %u dots (%u byte%s) x %u row%s, %" PRIu64 " dots\n", c.widthBytes * 8,
           c.widthBytes, c.widthBytes == 1 ? "" : "s", c.height, c.height == 1 ? "" : "s",
           preview::DotCount(c));
    break;
  case preview::CommandKind::kBlankBand:
    printf("blank band, %u rows\n", c.height);
    break;
  case preview::CommandKind::kFeed:
    printf("feed %u dots (%.2f mm)\n", c.value, c.value / kDotsPerMm);
    break;
  case preview::CommandKind::kCut:
    printf("cut\n");
    break;
  }
}

// 'CreatePictureFile()' - A new file beside 'path' that nobody else has
// opened, to be renamed into its place: an existing file of that name, or a
// link planted there, is never written through. Null, with errno set, when
// none can be made.
FILE *CreatePictureFile(const std::string &path, std::string &tempPath) {
  tempPath = path + ".XXXXXX";
  const int fd = mkstemp(tempPath.data());
  if (fd < 0)
    return nullptr;
  const mode_t mask = umask(0);
  umask(mask);
  FILE *f = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "wb") : nullptr;
  if (f == nullptr) {
    const int saved = errno;
    close(fd);
    unlink(tempPath.c_str());
    errno = saved;
  }
  return f;
}

// 'WritePicture()' - The picture's bytes into a new file renamed to 'path';
// an empty string, or what went wrong. Only a regular file is replaced.
std::string WritePicture(const std::string &path, const std::vector<uint8_t> &png) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return "cannot write " + path + ": " +
           (S_ISLNK(st.st_mode) ? "it is a symbolic link" : "it is not a regular file");
  std::string tempPath;
  FILE *f = CreatePictureFile(path, tempPath);
  if (f == nullptr)
    return "cannot write " + path + ": " + strerror(errno);
  bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  ok = fclose(f) == 0 && ok;
  if (ok && rename(tempPath.c_str(), path.c_str()) != 0) {
    const std::string problem = "cannot write " + path + ": " + strerror(errno);
    unlink(tempPath.c_str());
    return problem;
  }
  if (!ok) {
    unlink(tempPath.c_str());
    return "cannot write " + path;
  }
  return "";
}

bool IsDirectory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// 'DrawLabels()' - Write the pictures of the labels; the exit status.
int DrawLabels(const std::vector<preview::Command> &commands, const std::string &output,
               int quarterTurns) {
  const std::vector<preview::Label> labels = preview::SplitLabels(commands);
  const unsigned widthBytes = preview::PaperWidthBytes(commands);
  const bool toDirectory = output.back() == '/' || IsDirectory(output);
  if (labels.empty()) {
    fprintf(stderr, "labelpreview: no paper comes out of the printer; no picture written\n");
    return 0;
  }
  if (!toDirectory && labels.size() > 1) {
    fprintf(stderr,
            "labelpreview: the stream cuts %zu labels; -o DIR/ draws one picture for each\n",
            labels.size());
    return kTrouble;
  }
  if (toDirectory && mkdir(output.c_str(), 0777) != 0 && errno != EEXIST) {
    fprintf(stderr, "labelpreview: cannot make %s: %s\n", output.c_str(), strerror(errno));
    return kTrouble;
  }

  for (size_t i = 0; i < labels.size(); ++i) {
    std::string path = output;
    if (toDirectory) {
      char name[32];
      snprintf(name, sizeof name, "label-%03zu.png", i + 1);
      if (path.back() != '/')
        path += '/';
      path += name;
    }
    const preview::LabelPng picture =
        preview::EncodeLabelPng(commands, labels[i], widthBytes, quarterTurns);
    const std::string problem =
        picture.problem.empty() ? WritePicture(path, picture.png) : picture.problem;
    if (!problem.empty()) {
      fprintf(stderr, "labelpreview: label %zu: %s\n", i + 1, problem.c_str());
      return kTrouble;
    }
  }
  return 0;
}

int Run(int argc, char **argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, args)) {
    fputs(kUsage, stderr);
    return kTrouble;
  }
  std::vector<uint8_t> stream;
  if (!ReadInput(args.input, stream))
    return kTrouble;

  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  if (args.list)
    for (const preview::Command &command : decoded.commands)
      ListCommand(command);
  if (decoded.error) {
    fflush(stdout);
    fprintf(stderr, "labelpreview: offset %zu: %s\n", decoded.error->offset,
            decoded.error->message.c_str());
    return kMalformed;
  }
  if (!args.output.empty())
    return DrawLabels(decoded.commands, args.output, args.quarterTurns);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc &) {
    fprintf(stderr, "labelpreview: out of memory\n");
    return kTrouble;
  }
}
