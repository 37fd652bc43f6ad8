// ReplaceText against its definition: first occurrence replaced, and with
// `all` the rest processed again by the same rule, so an inserted text is
// never searched. Long inputs run on a small stack to catch recursion.
#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

#include "lib/D_Util.h"

namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::size_t Find(const std::string& text, const std::string& find, bool cs) {
  return cs ? text.find(find) : Upper(text).find(Upper(find));
}

// The recursive definition, used on small inputs only.
std::string Definition(const std::string& text, const std::string& find,
                       const std::string& with, bool cs, bool all) {
  if (find.empty() || find == with) return text;
  const std::size_t p = Find(text, find, cs);
  if (p == std::string::npos) return text;
  std::string rest = text.substr(p + find.size());
  if (all) rest = Definition(rest, find, with, cs, all);
  return text.substr(0, p) + with + rest;
}

// The same rule as a loop, for inputs too long for the definition's recursion.
std::string Loop(const std::string& text, const std::string& find, const std::string& with,
                 bool cs, bool all) {
  if (find.empty() || find == with) return text;
  const std::string haystack = cs ? text : Upper(text);
  const std::string needle = cs ? find : Upper(find);
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t p = haystack.find(needle, from);
    if (p == std::string::npos) break;
    out.append(text, from, p - from);
    out += with;
    from = p + find.size();
    if (!all) break;
  }
  out.append(text, from, std::string::npos);
  return out;
}

struct LongCase {
  std::string text, find, with;
  bool cs = false;
  std::string result;
};

void* RunLong(void* arg) {
  auto* c = static_cast<LongCase*>(arg);
  c->result = D_Util::ReplaceText(c->text, c->find, c->with, c->cs, true);
  return nullptr;
}

// Runs ReplaceText on a 128 KiB stack: plenty for a loop, far too little for
// one stack frame per occurrence.
std::string OnSmallStack(LongCase& c) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 128 * 1024);
  pthread_t thread;
  if (pthread_create(&thread, &attr, RunLong, &c) != 0) std::abort();
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  return c.result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool cs = in.ConsumeBool();
  const bool all = in.ConsumeBool();
  // Rarely: a thread is costly. (An exhausted input reads as 0.)
  const bool longRun = in.ConsumeIntegralInRange<int>(0, 63) == 63;
  const std::string find = in.ConsumeRandomLengthString(16);
  const std::string with = in.ConsumeRandomLengthString(16);
  const std::string text = in.ConsumeRemainingBytesAsString();

  // The definition recurses once per occurrence; on small texts it checks the loop.
  const std::string want = Loop(text, find, with, cs, all);
  if (text.size() <= 512 && Definition(text, find, with, cs, all) != want) std::abort();
  if (D_Util::ReplaceText(text, find, with, cs, all) != want) std::abort();
  std::string inPlace = text;
  D_Util::ReplaceTextInPlace(inPlace, find, with, cs, all);
  if (inPlace != want) std::abort();

  if (longRun && !find.empty()) {
    // Eight thousand occurrences in one text.
    LongCase c;
    c.text = text;
    for (int i = 0; i < 8192; ++i) c.text += find;
    c.find = find;
    c.with = with;
    c.cs = cs;
    if (OnSmallStack(c) != Loop(c.text, find, with, cs, true)) std::abort();
  }
  return 0;
}
