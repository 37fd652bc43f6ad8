#include "ctl/NameIndex.h"

#include <functional>
#include <stdexcept>

#include "ctl/Engine.h"

namespace ctl {

NameIndex::Entry& NameIndex::FindOrAdd(std::string_view name) {
  // At most half full, so a probe ends soon at a free slot.
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  const std::size_t hash = std::hash<std::string_view>()(name);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const std::uint32_t slot = slots_[i];
    if (slot == 0) {
      if (text_.size() + name.size() > UINT32_MAX || entries_.size() >= UINT32_MAX - 1)
        throw std::length_error("too many snap-in names");
      Entry e;
      e.hash = hash;
      e.offset = static_cast<std::uint32_t>(text_.size());
      e.length = static_cast<std::uint32_t>(name.size());
      text_.append(name);
      entries_.push_back(e);
      slots_[i] = static_cast<std::uint32_t>(entries_.size());
      return entries_.back();
    }
    Entry& e = entries_[slot - 1];
    if (e.hash == hash && NameOf(e) == name) return e;
  }
}

void NameIndex::Grow() {
  std::vector<std::uint32_t> slots(slots_.empty() ? 1024 : slots_.size() * 2, 0);
  const std::size_t mask = slots.size() - 1;
  for (std::size_t k = 0; k < entries_.size(); ++k) {
    std::size_t i = entries_[k].hash & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = static_cast<std::uint32_t>(k + 1);
  }
  slots_.swap(slots);
}

}  // namespace ctl
