#include "lib/D_Util.h"

#include <algorithm>
#include <cstdint>

#include "platform/Platform.h"
#include "ui/Controls.h"

namespace D_Util {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Where a path's last component starts: after the last "\", "/" or ":".
std::size_t NameStart(const std::string& path) {
  std::size_t p = path.find_last_of("\\/:");
  return p == std::string::npos ? 0 : p + 1;
}

// Applies a format with one text argument: "%s" (with optional "-", width
// and precision) takes the name, "%%" is a percent sign.
std::string FormatName(const std::string& format, const std::string& name) {
  std::string out;
  bool used = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    bool left = false;
    if (j < format.size() && format[j] == '-') {
      left = true;
      ++j;
    }
    std::size_t width = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
      width = width * 10 + static_cast<std::size_t>(format[j] - '0');
      ++j;
    }
    std::size_t precision = std::string::npos;
    if (j < format.size() && format[j] == '.') {
      precision = 0;
      ++j;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
        precision = precision * 10 + static_cast<std::size_t>(format[j] - '0');
        ++j;
      }
    }
    if (j < format.size() && (format[j] == 's' || format[j] == 'S') && !used) {
      std::string text = name.substr(0, precision);
      std::string pad(text.size() < width ? width - text.size() : 0, ' ');
      out += left ? text + pad : pad + text;
      used = true;
      i = j;
      continue;
    }
    out += format[i];  // not a specifier we know: kept as it stands
  }
  return out;
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

}  // namespace

char NativeSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string IncludeTrailingSeparator(std::string path) {
  if (path.empty() || !IsSeparator(path.back())) path += NativeSeparator();
  return path;
}

std::string ExcludeTrailingSeparator(std::string path) {
  if (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string tail = name;
  std::size_t lead = 0;
  while (lead < tail.size() && IsSeparator(tail[lead])) ++lead;
  return IncludeTrailingSeparator(folder) + tail.substr(lead);
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string ReplaceText(std::string text, const std::string& find, const std::string& with,
                        bool caseSensitive, bool all) {
  if (find.empty() || find == with) return text;
  // The recursive definition processes the rest after each occurrence; a
  // loop that searches on from there gives the same result at a fixed depth.
  const std::string haystack = caseSensitive ? text : UpperAscii(text);
  const std::string needle = caseSensitive ? find : UpperAscii(find);
  std::size_t hit = haystack.find(needle);
  if (hit == std::string::npos) return text;
  std::string out;
  std::size_t pos = 0;
  while (hit != std::string::npos) {
    out.append(text, pos, hit - pos);
    out += with;
    pos = hit + find.size();
    if (!all) break;
    hit = haystack.find(needle, pos);
  }
  out.append(text, pos, std::string::npos);
  return out;
}

void ReplaceTextInPlace(std::string& text, const std::string& find, const std::string& with,
                        bool caseSensitive, bool all) {
  text = ReplaceText(std::move(text), find, with, caseSensitive, all);
}

std::string RemoveChars(const std::string& text, const std::string& set) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (set.find(c) == std::string::npos) out += c;
  }
  return out;
}

std::string EnsurePrefix(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0 ? text : prefix + text;
}

std::string ChangeExtension(const std::string& path, const std::string& extension) {
  std::string ext = extension.empty() ? extension : EnsurePrefix(extension, ".");
  std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < NameStart(path)) return path + ext;
  return path.substr(0, dot) + ext;
}

std::string ExeFileWithExtension(const std::string& extension) {
  return ChangeExtension(platform::Platform::Get().ExecutablePath(), extension);
}

std::string DoubleQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

int IndexOfText(const std::string& text, const std::vector<std::string>& list,
                bool caseSensitive) {
  const std::string wanted = caseSensitive ? text : UpperAscii(text);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if ((caseSensitive ? list[i] : UpperAscii(list[i])) == wanted) return static_cast<int>(i);
  }
  return -1;
}

bool IsTextInList(const std::string& text, const std::vector<std::string>& list,
                  bool caseSensitive) {
  return IndexOfText(text, list, caseSensitive) >= 0;
}

std::pair<std::string, std::string> SplitAtFirst(const std::string& text,
                                                 const std::string& separator) {
  std::size_t p = separator.empty() ? std::string::npos : text.find(separator);
  if (p == std::string::npos) return {text, std::string()};
  return {text.substr(0, p), text.substr(p + separator.size())};
}

std::string JoinWithSeparator(const std::string& first, const std::string& second,
                              const std::string& separator) {
  if (!first.empty() && !second.empty()) return first + separator + second;
  return first + second;
}

std::string ToShortPath(const std::string& path) {
  std::string shortPath = platform::Platform::Get().ShortPath(path);
  // The answer must fit the 255-character buffer, terminator included.
  if (shortPath.empty() || shortPath.size() > 254) return path;
  return shortPath;
}

void ListDirectory(const std::string& mask, std::uint32_t attributes, int mode,
                   TStringList& list, const std::string& formatIn) {
  std::string format = formatIn.empty() ? std::string("%s") : formatIn;
  // The size goes where the format has its placeholder, never into a name
  // that happens to contain the same letters. A zero byte cannot occur in a
  // file name, so it marks the place.
  const bool withSize = format.find("#SIZE#") != std::string::npos;
  if (withSize) {
    std::size_t at = UpperAscii(format).find("#SIZE#");
    format.replace(at, 6, std::string(1, '\0'));
  }
  // Only a tag, a size or the read-only bit needs more than the names.
  const bool namesOnly = (mode & 3) == 0 && !withSize && (attributes & platform::faReadOnly) == 0;
  platform::Platform::Get().ListFolder(
      mask, namesOnly ? (attributes | platform::kListNamesOnly) : attributes,
      [&](const platform::FindEntry& entry) {
        if (ui::TApplication* app = ui::Application()) app->ProcessMessages();
        if (entry.name.empty() || entry.name[0] == '.') return true;
        if ((entry.attributes & attributes) == 0) return true;
        long long tag = 0;
        switch (mode & 3) {
          case 1: tag = entry.attributes; break;
          case 2: tag = static_cast<std::int32_t>(static_cast<std::uint32_t>(entry.size)); break;
          case 3: tag = static_cast<std::int32_t>(entry.dosDateTime); break;
          default: break;
        }
        std::string text = FormatName(format, entry.name);
        if (withSize) {
          std::size_t mark = text.find('\0');
          if (mark != std::string::npos) text.replace(mark, 1, PadLeft(FormatFileSize(entry.size), 9));
        }
        list.Add(std::move(text), tag);
        return true;
      });
}

void ListDirectory(const std::string& mask, std::uint32_t attributes, int mode,
                   TStringList& list) {
  ListDirectory(mask, attributes, mode, list, "%s");
}

std::string FormatFileSize(std::int64_t sizeIn) {
  const std::int64_t size = sizeIn < 0 ? 2147483647 : sizeIn;
  if (size < 1024) return PadLeft(std::to_string(size), 4);
  struct Row {
    std::int64_t limit;
    std::int64_t divisor;
    int decimals;
    const char* unit;
  };
  static constexpr Row rows[] = {
      {1048576LL, 1024LL, 0, " kB"},
      {1073741824LL, 1048576LL, 2, " MB"},
      {1099511627776LL, 1073741824LL, 2, " GB"},
      {INT64_MAX, 1099511627776LL, 2, " TB"},
  };
  for (const Row& row : rows) {
    if (size >= row.limit && row.limit != INT64_MAX) continue;
    // Exact integer rounding, halves away from zero (the size is not negative).
    const std::int64_t scale = row.decimals == 0 ? 1 : 100;
    const std::int64_t whole = size / row.divisor;
    const std::int64_t rest = size % row.divisor;
    std::int64_t scaled = whole * scale + rest * scale / row.divisor;
    if (2 * (rest * scale % row.divisor) >= row.divisor) ++scaled;
    std::string number = std::to_string(scaled / scale);
    if (row.decimals > 0) {
      std::string cents = std::to_string(scaled % scale);
      number += "." + std::string(2 - cents.size(), '0') + cents;
    }
    return PadLeft(number, 4) + row.unit;
  }
  return std::string();
}

void SetBusyCursor() {
  if (ui::TApplication* app = ui::Application()) app->SetCursor(ui::TCursor::crHourGlass);
}

void RestoreDefaultCursor() {
  if (ui::TApplication* app = ui::Application()) app->SetCursor(ui::TCursor::crDefault);
}

}  // namespace D_Util
