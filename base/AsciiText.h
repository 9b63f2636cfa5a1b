#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// ASCII letters to lower case; every other byte as it is. Safe on UTF-8 and CP932
// alike for what it is used on: names, schemes and addresses compared as ASCII.
std::string asciiLower(std::string_view text);

} // namespace tabulon
