#include "ctl/Json.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace ctl {

namespace {

const Json& NullJson() {
  static const Json null;
  return null;
}

[[noreturn]] void KindError(const char* wanted) {
  throw std::runtime_error(std::string("JSON value is not ") + wanted);
}

// Length of the valid UTF-8 sequence starting at text[i], 0 when invalid.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  std::size_t len = 0;
  std::uint32_t cp = 0;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    len = 2;
    cp = c & 0x1Fu;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3;
    cp = c & 0x0Fu;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4;
    cp = c & 0x07u;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
  static const std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  Json ParseDocument() {
    Json value = ParseValue(0);
    SkipBlanks();
    if (pos_ != text_.size()) Fail("unexpected text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
  }

  void SkipBlanks() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
      ++pos_;
  }

  char Peek() {
    SkipBlanks();
    if (pos_ >= text_.size()) Fail("unexpected end");
    return text_[pos_];
  }

  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  bool Literal(const char* word) {
    const std::string w(word);
    if (text_.compare(pos_, w.size(), w) == 0) {
      pos_ += w.size();
      return true;
    }
    return false;
  }

  Json ParseValue(int depth) {
    // Deep nesting would only come from hostile input; stop well before the stack does.
    if (depth > 200) Fail("nesting too deep");
    const char c = Peek();
    if (c == '{') return ParseObject(depth);
    if (c == '[') return ParseArray(depth);
    if (c == '"') return Json(ParseString());
    if (Literal("true")) return Json(true);
    if (Literal("false")) return Json(false);
    if (Literal("null")) return Json();
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber();
    Fail("unexpected character");
  }

  Json ParseObject(int depth) {
    Expect('{');
    Json::Object members;
    if (Peek() == '}') {
      ++pos_;
      return Json(std::move(members));
    }
    for (;;) {
      if (Peek() != '"') Fail("expected a member name");
      std::string key = ParseString();
      Expect(':');
      members.emplace_back(std::move(key), ParseValue(depth + 1));
      const char next = Peek();
      ++pos_;
      if (next == '}') break;
      if (next != ',') Fail("expected ',' or '}'");
    }
    return Json(std::move(members));
  }

  Json ParseArray(int depth) {
    Expect('[');
    Json::Array items;
    if (Peek() == ']') {
      ++pos_;
      return Json(std::move(items));
    }
    for (;;) {
      items.push_back(ParseValue(depth + 1));
      const char next = Peek();
      ++pos_;
      if (next == ']') break;
      if (next != ',') Fail("expected ',' or ']'");
    }
    return Json(std::move(items));
  }

  std::uint32_t ParseHex4() {
    if (pos_ + 4 > text_.size()) Fail("short \\u escape");
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = text_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= static_cast<std::uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f') v |= static_cast<std::uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') v |= static_cast<std::uint32_t>(h - 'A' + 10);
      else Fail("bad \\u escape");
    }
    return v;
  }

  std::string ParseString() {
    Expect('"');
    std::string out;
    for (;;) {
      if (pos_ >= text_.size()) Fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') break;
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) Fail("unterminated escape");
      const char e = text_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t cp = ParseHex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!Literal("\\u")) Fail("lone high surrogate");
            const std::uint32_t low = ParseHex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad low surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            Fail("lone low surrogate");
          }
          AppendUtf8(out, cp);
          break;
        }
        default: Fail("unknown escape");
      }
    }
    return out;
  }

  Json ParseNumber() {
    const std::size_t start = pos_;
    if (text_[pos_] == '-') ++pos_;
    const auto digits = [&] {
      const std::size_t from = pos_;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
      return pos_ - from;
    };
    const bool leadingZero = pos_ < text_.size() && text_[pos_] == '0';
    const std::size_t intDigits = digits();
    if (intDigits == 0) Fail("bad number");
    if (leadingZero && intDigits > 1) Fail("leading zero");
    bool integral = true;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      integral = false;
      if (digits() == 0) Fail("bad fraction");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      integral = false;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (digits() == 0) Fail("bad exponent");
    }
    const std::string literal = text_.substr(start, pos_ - start);
    if (integral) {
      try {
        return Json(static_cast<std::int64_t>(std::stoll(literal)));
      } catch (const std::out_of_range&) {
        // Too large for an integer: keep it as a double.
      }
    }
    return Json(std::stod(literal));
  }

  const std::string& text_;
  std::size_t pos_ = 0;
};

}  // namespace

bool Json::AsBool() const {
  if (!IsBool()) KindError("a boolean");
  return std::get<bool>(value_);
}

std::int64_t Json::AsInteger() const {
  if (!IsInteger()) KindError("an integer");
  return std::get<std::int64_t>(value_);
}

double Json::AsNumber() const {
  if (IsInteger()) return static_cast<double>(std::get<std::int64_t>(value_));
  if (!IsNumber()) KindError("a number");
  return std::get<double>(value_);
}

const std::string& Json::AsString() const {
  if (!IsString()) KindError("a string");
  return std::get<std::string>(value_);
}

const Json::Array& Json::AsArray() const {
  if (!IsArray()) KindError("an array");
  return std::get<Array>(value_);
}

const Json::Object& Json::AsObject() const {
  if (!IsObject()) KindError("an object");
  return std::get<Object>(value_);
}

const Json& Json::operator[](const std::string& key) const {
  if (!IsObject()) return NullJson();
  for (const auto& [k, v] : std::get<Object>(value_))
    if (k == key) return v;
  return NullJson();
}

bool Json::Has(const std::string& key) const {
  if (!IsObject()) return false;
  for (const auto& member : std::get<Object>(value_))
    if (member.first == key) return true;
  return false;
}

const Json& Json::operator[](std::size_t index) const {
  const Array& a = AsArray();
  if (index >= a.size()) throw std::out_of_range("JSON array index out of range");
  return a[index];
}

std::size_t Json::Size() const {
  if (IsArray()) return std::get<Array>(value_).size();
  if (IsObject()) return std::get<Object>(value_).size();
  return 0;
}

Json& Json::Set(const std::string& key, Json value) {
  if (IsNull()) value_ = Object{};
  if (!IsObject()) KindError("an object");
  auto& members = std::get<Object>(value_);
  for (auto& member : members) {
    if (member.first == key) {
      member.second = std::move(value);
      return *this;
    }
  }
  members.emplace_back(key, std::move(value));
  return *this;
}

Json& Json::Push(Json value) {
  if (IsNull()) value_ = Array{};
  if (!IsArray()) KindError("an array");
  std::get<Array>(value_).push_back(std::move(value));
  return *this;
}

std::string JsonQuote(const std::string& text) {
  static const char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c == '\n') {
      out += "\\n";
      ++i;
    } else if (c == '\r') {
      out += "\\r";
      ++i;
    } else if (c == '\t') {
      out += "\\t";
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 0x0F];
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t len = Utf8SequenceLength(text, i); len > 0) {
      out.append(text, i, len);
      i += len;
    } else {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 0x0F];
      ++i;
    }
  }
  out += '"';
  return out;
}

void Json::DumpTo(std::string& out, int indent, int depth) const {
  const auto newline = [&](int level) {
    if (indent <= 0) return;
    out += '\n';
    out.append(static_cast<std::size_t>(indent) * static_cast<std::size_t>(level), ' ');
  };
  if (IsNull()) {
    out += "null";
  } else if (IsBool()) {
    out += std::get<bool>(value_) ? "true" : "false";
  } else if (IsInteger()) {
    out += std::to_string(std::get<std::int64_t>(value_));
  } else if (std::holds_alternative<double>(value_)) {
    const double d = std::get<double>(value_);
    if (!std::isfinite(d)) {
      out += "null";  // JSON has no infinities
    } else {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", d);
      out += buffer;
    }
  } else if (IsString()) {
    out += JsonQuote(std::get<std::string>(value_));
  } else if (IsArray()) {
    const auto& a = std::get<Array>(value_);
    out += '[';
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (i > 0) out += ',';
      newline(depth + 1);
      a[i].DumpTo(out, indent, depth + 1);
    }
    if (!a.empty()) newline(depth);
    out += ']';
  } else {
    const auto& o = std::get<Object>(value_);
    out += '{';
    for (std::size_t i = 0; i < o.size(); ++i) {
      if (i > 0) out += ',';
      newline(depth + 1);
      out += JsonQuote(o[i].first);
      out += indent > 0 ? ": " : ":";
      o[i].second.DumpTo(out, indent, depth + 1);
    }
    if (!o.empty()) newline(depth);
    out += '}';
  }
}

std::string Json::Dump(int indent) const {
  std::string out;
  DumpTo(out, indent, 0);
  return out;
}

Json Json::Parse(const std::string& text) { return Parser(text).ParseDocument(); }

}  // namespace ctl
