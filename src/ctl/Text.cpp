#include "ctl/Text.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <clocale>
#include <cwchar>
#include <locale.h>
#endif

namespace ctl {

namespace {

// The code point of the UTF-8 sequence at text[i] and its length; length 0
// for a byte that starts no valid sequence (overlong forms and surrogates
// included).
struct Decoded {
  std::uint32_t codePoint = 0;
  std::size_t length = 0;
};

Decoded DecodeAt(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return {c, 1};
  std::size_t length = 0;
  std::uint32_t cp = 0;
  if ((c & 0xE0) == 0xC0) {
    length = 2;
    cp = c & 0x1Fu;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3;
    cp = c & 0x0Fu;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4;
    cp = c & 0x07u;
  } else {
    return {};
  }
  if (i + length > text.size()) return {};
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {};
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  static const std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
  return {cp, length};
}

const char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, unsigned char c) {
  out += kHexDigits[c >> 4];
  out += kHexDigits[c & 15];
}

// Unicode's format characters (general category Cf): bidirectional
// controls, zero-width characters, the byte-order mark, tags. Invisible, yet
// they reorder or hide what a terminal shows.
bool IsFormat(std::uint32_t cp) {
  static const std::uint32_t ranges[][2] = {
      {0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},     {0x6DD, 0x6DD},
      {0x70F, 0x70F},     {0x890, 0x891},     {0x8E2, 0x8E2},     {0x180E, 0x180E},
      {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
      {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
      {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
      {0xE0020, 0xE007F},
  };
  for (const auto& r : ranges) {
    if (cp < r[0]) return false;
    if (cp <= r[1]) return true;
  }
  return false;
}

// Characters that are no format characters yet show nothing a reader can
// tell from a blank or from nothing: the line and paragraph separators
// (which also break lines in some terminals), and the fillers that print as
// empty cells.
bool IsInvisible(std::uint32_t cp) {
  return IsFormat(cp) || cp == 0x2028 || cp == 0x2029 || cp == 0x115F || cp == 0x1160 || cp == 0x3164 ||
         cp == 0xFFA0 || cp == 0x2800;
}

#ifndef _WIN32
bool IsControl(std::uint32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || IsInvisible(cp);
}
#endif

#ifdef _WIN32
std::wstring Wide(const std::string& text, UINT codePage) {
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
  return text;
}
#endif

}  // namespace

bool IsUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const Decoded d = DecodeAt(bytes, i);
    if (d.length == 0) return false;
    i += d.length;
  }
  return true;
}

bool IsPlainAscii(const std::string& text) {
  for (const char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

std::string ToHex(const std::string& bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) AppendHexByte(hex, static_cast<unsigned char>(c));
  return hex;
}

std::optional<std::string> FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

JsonText ForJson(const std::string& bytes) {
#ifdef _WIN32
  // Names are in the ANSI code page, and so is the command line they come
  // back on: the text is exact when it converts back to the same bytes.
  const std::wstring wide = Wide(bytes, CP_ACP);
  JsonText out{Narrow(wide, CP_UTF8), false};
  out.exact = Narrow(Wide(out.text, CP_UTF8), CP_ACP) == bytes;
  return out;
#else
  if (IsUtf8(bytes)) return {bytes, true};
  JsonText out{std::string(), false};
  for (std::size_t i = 0; i < bytes.size();) {
    const Decoded d = DecodeAt(bytes, i);
    if (d.length == 0) {
      out.text += "\xEF\xBF\xBD";  // U+FFFD, the replacement character
      ++i;
    } else {
      out.text.append(bytes, i, d.length);
      i += d.length;
    }
  }
  return out;
#endif
}

std::string EscapeControls(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
#ifdef _WIN32
    // The console shows the ANSI code page byte by byte; 0x80-0x9F are letters
    // there, but a code page may hold format characters (cp1255's 0xFD is the
    // left-to-right mark).
    const std::size_t size = c >= 0x80 && IsDBCSLeadByte(c) && i + 1 < text.size() ? 2 : 1;
    const Decoded d{c, size};
    bool control = c < 0x20 || c == 0x7F;
    if (c >= 0x80) {
      const std::wstring wide = Wide(text.substr(i, size), CP_ACP);
      control = wide.size() == 1 && IsInvisible(static_cast<std::uint32_t>(wide[0]));
    }
#else
    const Decoded d = DecodeAt(text, i);
    const bool control = d.length == 0 || IsControl(d.codePoint);
#endif
    if (control) {
      const std::size_t n = d.length == 0 ? 1 : d.length;
      if (c == '\n') out += "\\n";
      else if (c == '\t') out += "\\t";
      else if (c == '\r') out += "\\r";
      else
        for (std::size_t k = 0; k < n; ++k) {
          out += "\\x";
          AppendHexByte(out, static_cast<unsigned char>(text[i + k]));
        }
      i += n;
    } else {
      out.append(text, i, d.length);
      i += d.length;
    }
  }
  return out;
}

std::size_t DisplayWidth(const std::string& text) {
#ifdef _WIN32
  return text.size();
#else
  if (IsPlainAscii(text)) return text.size();  // most names: no locale, no table
  // wcwidth reads its table from LC_CTYPE; this thread borrows a UTF-8 one
  // for the call, the program's own locale stays "C".
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  const locale_t previous = utf8 != nullptr ? uselocale(utf8) : nullptr;
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = DecodeAt(text, i);
    if (d.length == 0) {
      ++width;
      ++i;
      continue;
    }
    const int w = utf8 != nullptr ? wcwidth(static_cast<wchar_t>(d.codePoint)) : 1;
    width += w < 0 ? 1 : static_cast<std::size_t>(w);
    i += d.length;
  }
  if (previous != nullptr) uselocale(previous);
  return width;
#endif
}

std::string PadRight(const std::string& text, std::size_t width) {
  const std::size_t shown = DisplayWidth(text);
  return shown >= width ? text : text + std::string(width - shown, ' ');
}

}  // namespace ctl
