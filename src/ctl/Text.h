// Names as bytes, shown to people and to JSON readers: escaped, measured,
// and in an exact reversible form.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace ctl {

bool IsUtf8(const std::string& bytes);

// Only printable ASCII (0x20-0x7E): shown, measured and read back as it is.
bool IsPlainAscii(const std::string& text);

// Lower-case hex of every byte, and back (nullopt for anything else).
std::string ToHex(const std::string& bytes);
std::optional<std::string> FromHex(const std::string& hex);

// A readable UTF-8 text for JSON. `exact` when giving the text back on the
// command line addresses these very bytes; otherwise the JSON adds the hex.
struct JsonText {
  std::string text;
  bool exact = true;
};
JsonText ForJson(const std::string& bytes);

// For a terminal: control characters (and, outside Windows, bytes that are
// not UTF-8) as \n, \t, \r or \xHH, so a name can neither forge a row nor
// send escape sequences.
std::string EscapeControls(const std::string& text);

// Columns a terminal gives the text (wide characters 2, combining marks 0).
std::size_t DisplayWidth(const std::string& text);
std::string PadRight(const std::string& text, std::size_t width);

}  // namespace ctl
