// Text, path and directory-listing routines. Texts are byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lib/TStringList.h"

namespace D_Util {

// Appends "\" unless the path already ends in "/" or "\" (an empty path gives "\").
std::string IncludeTrailingSeparator(std::string path);
// Removes one trailing "/" or "\" when there is one.
std::string ExcludeTrailingSeparator(std::string path);
// The separator appended to folders by the layout code: "\" on Windows, "/" elsewhere.
char NativeSeparator();
// Folder + name with the native separator between them (no doubled separator).
std::string JoinPath(const std::string& folder, const std::string& name);

// Replaces the first (or every, with `all`) occurrence of `find` by `with`.
// Case is ignored in the letters a-z only when `caseSensitive` is false.
std::string ReplaceText(std::string text, const std::string& find, const std::string& with,
                        bool caseSensitive, bool all);
void ReplaceTextInPlace(std::string& text, const std::string& find, const std::string& with,
                        bool caseSensitive, bool all);

// Upper-cases the letters a-z only.
std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);

std::string RemoveChars(const std::string& text, const std::string& set);
std::string EnsurePrefix(const std::string& text, const std::string& prefix);
std::string ChangeExtension(const std::string& path, const std::string& extension);
std::string ExeFileWithExtension(const std::string& extension);
std::string DoubleQuoted(const std::string& text);

// 0-based index of the first entry equal to `text`, -1 when none.
int IndexOfText(const std::string& text, const std::vector<std::string>& list,
                bool caseSensitive);
bool IsTextInList(const std::string& text, const std::vector<std::string>& list,
                  bool caseSensitive);
// (first part, rest) around the first occurrence of `separator`.
std::pair<std::string, std::string> SplitAtFirst(const std::string& text,
                                                 const std::string& separator);
std::string JoinWithSeparator(const std::string& first, const std::string& second,
                              const std::string& separator);

// Short (8.3) form of the path, or the path unchanged.
std::string ToShortPath(const std::string& path);

// Appends the entries of `mask` to `list` (see the implementation for tags).
void ListDirectory(const std::string& mask, std::uint32_t attributes, int mode,
                   TStringList& list, const std::string& format);
void ListDirectory(const std::string& mask, std::uint32_t attributes, int mode,
                   TStringList& list);

std::string FormatFileSize(std::int64_t size);

// The application-wide cursor (no-ops without an application object).
void SetBusyCursor();
void RestoreDefaultCursor();

}  // namespace D_Util
