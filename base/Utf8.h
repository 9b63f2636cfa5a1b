#pragma once

#include <cstddef>
#include <string_view>

namespace tabulon {

// The length of the well-formed UTF-8 sequence starting at text[i], 0 when there is
// none (a stray byte, an overlong form, a surrogate, or past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

} // namespace tabulon
