// The answer line of a response body: the bytes up to the first line feed, carriage returns
// dropped, bounded in size, handed over in GBK. The HTTP client feeds it the body as it arrives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace api {

class AnswerLine {
 public:
  // The line is cut after this many body bytes when no line feed came before.
  static constexpr std::size_t kMaxBytes = std::size_t{1} << 20;

  // Takes the next piece of the body. Returns false once the line is complete (its line feed
  // came, or the bound was reached): the rest of the body need not be read.
  bool Take(std::string_view piece);

  // True once Take has returned false.
  bool complete() const { return complete_; }

  // Returns the line read so far, converted from UTF-8 to GBK. A line cut at the bound ends on a
  // whole UTF-8 character.
  std::string Gbk() const;

 private:
  std::string line_;           // UTF-8, carriage returns dropped
  std::size_t bodyBytes_ = 0;  // body bytes looked at
  bool complete_ = false;
  bool cutAtBound_ = false;
};

}  // namespace api
