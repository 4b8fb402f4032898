#include "multipart.h"

#include <algorithm>
#include <functional>

namespace {

// 'Lower()' - ASCII text in lower case, for the names of headers and
// parameters.
std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// 'Trim()' - The text without spaces and tabs at either end.
std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

// 'Parameter()' - The value of the parameter 'name' of a header value
// (name="value" or name=value), or nothing. A quoted value ends at the
// next quote: browsers send a quote in a name as %22.
std::optional<std::string> Parameter(std::string_view header, std::string_view name) {
  size_t at = header.find(';');
  while (at != std::string_view::npos) {
    std::string_view rest = Trim(header.substr(at + 1));
    const size_t equals = rest.find('=');
    const size_t semicolon = rest.find(';');
    if (equals != std::string_view::npos &&
        (semicolon == std::string_view::npos || equals < semicolon) &&
        Lower(Trim(rest.substr(0, equals))) == name) {
      std::string_view value = Trim(rest.substr(equals + 1));
      if (!value.empty() && value.front() == '"') {
        const size_t close = value.find('"', 1);
        if (close == std::string_view::npos)
          return std::nullopt;
        return std::string(value.substr(1, close - 1));
      }
      return std::string(Trim(value.substr(0, value.find(';'))));
    }
    const size_t next = header.find(';', at + 1);
    at = next;
  }
  return std::nullopt;
}

} // namespace

std::optional<std::string> MultipartBoundary(std::string_view contentType) {
  const size_t semicolon = contentType.find(';');
  if (Lower(Trim(contentType.substr(0, semicolon))) != "multipart/form-data" ||
      semicolon == std::string_view::npos)
    return std::nullopt;
  std::optional<std::string> boundary = Parameter(contentType, "boundary");
  if (!boundary || boundary->empty() || boundary->size() > 70)
    return std::nullopt;
  return boundary;
}

std::optional<std::vector<FormPart>>
ParseMultipart(std::span<const uint8_t> body, std::string_view boundary, std::string &problem) {
  const std::string_view text(reinterpret_cast<const char *>(body.data()), body.size());
  // Each part ends where a line starts with "--" and the boundary.
  const std::string delimiter = "\r\n--" + std::string(boundary);
  const std::boyer_moore_horspool_searcher search(delimiter.begin(), delimiter.end());
  const auto find = [&](size_t from) {
    const auto found = std::search(text.begin() + from, text.end(), search);
    return found == text.end() ? std::string_view::npos : size_t(found - text.begin());
  };

  // The first boundary opens the body's first line, or follows a preamble.
  size_t at;
  if (text.substr(0, delimiter.size() - 2) == std::string_view(delimiter).substr(2))
    at = delimiter.size() - 2;
  else if ((at = find(0)) != std::string_view::npos)
    at += delimiter.size();
  else {
    problem = "the form has no boundary line";
    return std::nullopt;
  }

  std::vector<FormPart> parts;
  for (;;) {
    // After a boundary: "--" ends the form, a line break starts a part.
    if (text.substr(at, 2) == "--")
      return parts;
    if (text.substr(at, 2) != "\r\n") {
      problem = "a boundary line of the form is broken off";
      return std::nullopt;
    }
    at += 2;
    if (parts.size() == kMaxFormParts) {
      problem = "the form has more than " + std::to_string(kMaxFormParts) + " fields";
      return std::nullopt;
    }

    // The part's header lines, up to an empty line.
    FormPart part;
    bool named = false;
    for (;;) {
      const size_t end = text.find("\r\n", at);
      if (end == std::string_view::npos || end - at > kMaxPartHeaderLine) {
        problem = end == std::string_view::npos ? "a field of the form is broken off in its header"
                                                : "a header line of the form is longer than " +
                                                      std::to_string(kMaxPartHeaderLine) + " bytes";
        return std::nullopt;
      }
      const std::string_view line = text.substr(at, end - at);
      at = end + 2;
      if (line.empty())
        break;
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos ||
          Lower(Trim(line.substr(0, colon))) != "content-disposition")
        continue;
      const std::string_view value = line.substr(colon + 1);
      if (std::optional<std::string> name = Parameter(value, "name")) {
        part.name = std::move(*name);
        named = true;
      }
      if (std::optional<std::string> filename = Parameter(value, "filename")) {
        part.filename = std::move(*filename);
        part.isFile = true;
      }
    }
    if (!named) {
      problem = "a field of the form has no name";
      return std::nullopt;
    }

    // Its value, up to the line of the next boundary.
    const size_t end = find(at);
    if (end == std::string_view::npos) {
      problem = "the form is broken off in the field \"" + part.name + "\"";
      return std::nullopt;
    }
    part.value = body.subspan(at, end - at);
    parts.push_back(std::move(part));
    at = end + delimiter.size();
  }
}

const FormPart *FindPart(const std::vector<FormPart> &parts, std::string_view name) {
  for (const FormPart &part : parts)
    if (part.name == name)
      return &part;
  return nullptr;
}
