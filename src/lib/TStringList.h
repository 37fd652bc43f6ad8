// An ordered list of texts, each with an integer tag (0 when not set).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct TStringItem {
  std::string Text;
  long long Tag = 0;
};

class TStringList {
 public:
  void Add(std::string text, long long tag = 0) { items_.push_back({std::move(text), tag}); }
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& operator[](int i) const { return items_[static_cast<std::size_t>(i)].Text; }
  long long Tag(int i) const { return items_[static_cast<std::size_t>(i)].Tag; }
  const std::vector<TStringItem>& Items() const { return items_; }
  std::vector<TStringItem>& Items() { return items_; }

 private:
  std::vector<TStringItem> items_;
};
