#include "api/answer_line.h"

#include "text/gbk.h"

namespace api {
namespace {

// Returns the length of `s` without an incomplete UTF-8 sequence at its end, so that an answer
// cut at the bound ends on a whole character.
std::size_t WithoutCutSequence(std::string_view s) {
  std::size_t lead = s.size();
  // A sequence is at most four bytes: step back over at most three continuation bytes.
  for (int step = 0; step < 4 && lead > 0; ++step) {
    --lead;
    auto c = static_cast<unsigned char>(s[lead]);
    if ((c & 0xC0) == 0x80) continue;
    std::size_t need = c < 0x80           ? 1
                       : (c >> 5) == 0x6  ? 2
                       : (c >> 4) == 0xE  ? 3
                       : (c >> 3) == 0x1E ? 4
                                          : 1;
    return s.size() - lead < need ? lead : s.size();
  }
  return s.size();
}

}  // namespace

bool AnswerLine::Take(std::string_view piece) {
  if (complete_) return false;
  const std::size_t room = kMaxBytes - bodyBytes_;
  const std::size_t usable = piece.size() < room ? piece.size() : room;
  for (std::size_t i = 0; i < usable; ++i) {
    const char c = piece[i];
    if (c == '\n') {
      complete_ = true;
      return false;
    }
    if (c != '\r') line_.push_back(c);
  }
  bodyBytes_ += usable;
  if (bodyBytes_ >= kMaxBytes) {
    complete_ = true;
    cutAtBound_ = true;
    return false;
  }
  return true;
}

std::string AnswerLine::Gbk() const {
  const std::string_view line = line_;
  return text::Utf8ToGbk(cutAtBound_ ? line.substr(0, WithoutCutSequence(line)) : line);
}

}  // namespace api
