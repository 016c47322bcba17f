// What the fuzz harnesses share: a check that stops the run with a message, and the split of an
// input into fields.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

// Stops the run (a crash to libFuzzer, a failure to the corpus replay) when `condition` is false.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace fuzz {

// The separator of fields in an input: a control byte that the texts of the harnesses rarely
// need, so that a corpus file stays readable.
inline constexpr char kFieldSeparator = '\x1f';

// Splits `input` at kFieldSeparator into exactly `count` fields: missing ones are empty, the last
// one keeps any further separators.
inline std::vector<std::string_view> SplitFields(std::string_view input, std::size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const std::size_t end = input.find(kFieldSeparator);
    fields.push_back(input.substr(0, end));
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  }
  fields.push_back(input);
  return fields;
}

}  // namespace fuzz
