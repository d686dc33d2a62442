// Token counting with the o200k_base byte-pair encoding, the tokenizer of "gpt-4o-mini" and the
// other o200k_base models. Token ids equal those of the reference encoder for every input.
//
//   const auto& enc = platform::tiktoken::encoding_for_model("gpt-4o-mini");
//   std::size_t count = enc.encode("SELECT 1").size();  // 3
//
// Differences from the reference, on purpose:
// - Special-token texts such as "<|endoftext|>" are ordinary text: they are encoded like any
//   other characters instead of being refused, so counting never fails on a stray SQL comment.
// - Input is UTF-8. A byte that is not part of a well-formed UTF-8 sequence counts as one symbol
//   character of its own and is encoded from its byte token, so nothing is dropped or replaced:
//   decode(encode(bytes)) returns the bytes exactly.
//
// Thread-safety: Encoding objects are immutable; encode and decode may run concurrently.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::tiktoken {

using Rank = std::uint32_t;

class Encoding {
 public:
  // The encoding's name, "o200k_base".
  std::string_view name() const { return "o200k_base"; }

  // The token ids of `text`. Never throws (except std::bad_alloc).
  std::vector<Rank> encode(std::string_view text) const;

  // The bytes of a token list. Throws platform::KeyError for an id that is not a token.
  std::string decode(const std::vector<Rank>& tokens) const;

 private:
  friend const Encoding& o200k_base();
  Encoding() = default;
};

// The encoding of an o200k_base model, e.g. "gpt-4o", "gpt-4o-mini", "o1", "o3-mini", "gpt-4.1",
// "gpt-5". Throws platform::KeyError for any other name.
const Encoding& encoding_for_model(std::string_view model);

// The o200k_base encoding itself.
const Encoding& o200k_base();

}  // namespace platform::tiktoken
