// Snap-in names with where their folders are, for `list` on large
// installations: one text buffer and one open-addressing table instead of a
// node per name, so building it and looking names up stay in few cache lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ctl {

enum class Place : std::uint8_t;  // Engine.h

class NameIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  struct Entry {
    std::size_t hash = 0;
    std::uint32_t offset = 0;  // the name's bytes in the index's text
    std::uint32_t length = 0;
    std::array<Place, 2> places{};    // library and resource folder
    std::uint32_t snapin = kNone;     // the caller's own number for the name
  };

  // The entry of `name`, added (with no places) when there is none yet.
  // References stay valid until the next call.
  Entry& FindOrAdd(std::string_view name);
  std::size_t Size() const { return entries_.size(); }

 private:
  std::string_view NameOf(const Entry& e) const { return {text_.data() + e.offset, e.length}; }
  void Grow();

  std::string text_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // entry number + 1; 0 is free
};

}  // namespace ctl
