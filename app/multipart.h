// A form sent as multipart/form-data (a browser's file upload), read from
// the request body in memory. Every read stays inside the body; a body that
// is not well formed, or holds more parts or longer headers than a form of
// the web page would, is refused with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One field of the form.
struct FormPart {
  std::string name;
  bool isFile = false;            // sent as a file (with a filename, perhaps empty)
  std::string filename;           // the file's name as the browser gave it
  std::span<const uint8_t> value; // the field's bytes, inside the body
};

// The most parts, and the longest header line, a body may have.
inline constexpr size_t kMaxFormParts = 64;
inline constexpr size_t kMaxPartHeaderLine = 1024;

// 'MultipartBoundary()' - The boundary of a "multipart/form-data" content
// type, or nothing for another type or a boundary that is not 1 to 70
// characters.
std::optional<std::string> MultipartBoundary(std::string_view contentType);

// 'ParseMultipart()' - The parts of a body between its boundaries; nothing,
// with 'problem' saying why, when it is not well formed.
std::optional<std::vector<FormPart>>
ParseMultipart(std::span<const uint8_t> body, std::string_view boundary, std::string &problem);

// 'FindPart()' - The first part called 'name', or null.
const FormPart *FindPart(const std::vector<FormPart> &parts, std::string_view name);
