// A small JSON value with a writer and a reader: quillanctl's --json output,
// and what its tests read back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace ctl {

class Json {
 public:
  using Array = std::vector<Json>;
  // Keys in insertion order, so the output reads in a stable, meaningful order.
  using Object = std::vector<std::pair<std::string, Json>>;

  Json() = default;  // null
  Json(std::nullptr_t) {}
  Json(bool b) : value_(b) {}
  Json(int n) : value_(static_cast<std::int64_t>(n)) {}
  Json(std::int64_t n) : value_(n) {}
  Json(double d) : value_(d) {}
  Json(const char* s) : value_(std::string(s)) {}
  Json(std::string s) : value_(std::move(s)) {}
  Json(Array a) : value_(std::move(a)) {}
  Json(Object o) : value_(std::move(o)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsBool() const { return std::holds_alternative<bool>(value_); }
  bool IsInteger() const { return std::holds_alternative<std::int64_t>(value_); }
  bool IsNumber() const { return IsInteger() || std::holds_alternative<double>(value_); }
  bool IsString() const { return std::holds_alternative<std::string>(value_); }
  bool IsArray() const { return std::holds_alternative<Array>(value_); }
  bool IsObject() const { return std::holds_alternative<Object>(value_); }

  // Throw std::runtime_error on a kind mismatch.
  bool AsBool() const;
  std::int64_t AsInteger() const;
  double AsNumber() const;
  const std::string& AsString() const;
  const Array& AsArray() const;
  const Object& AsObject() const;

  // Object member; a missing key or a non-object yields a shared null.
  const Json& operator[](const std::string& key) const;
  bool Has(const std::string& key) const;
  // Array element; out of range throws.
  const Json& operator[](std::size_t index) const;
  std::size_t Size() const;

  // Object builder: appends (or replaces) a member and returns *this.
  Json& Set(const std::string& key, Json value);
  // Array builder.
  Json& Push(Json value);

  // Compact when indent is 0, else pretty-printed with that many spaces.
  std::string Dump(int indent = 0) const;

  // Throws std::runtime_error with the byte offset on malformed input.
  static Json Parse(const std::string& text);

 private:
  void DumpTo(std::string& out, int indent, int depth) const;
  std::variant<std::monostate, bool, std::int64_t, double, std::string, Array, Object> value_;
};

// The text as a JSON string literal, quotes included. Valid UTF-8 passes as
// it is; any other byte is written as \u00XX (its Latin-1 reading), so the
// output is always valid JSON whatever the file system's names hold.
std::string JsonQuote(const std::string& text);

}  // namespace ctl
