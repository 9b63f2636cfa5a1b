#pragma once

namespace tabulon {

// The program's well-known name on the session bus, and the name of its interface: the
// About box's placeholder domain reversed, the same id as the desktop entry's.
inline constexpr const char* kBusName = "org.example.Tabulon";
// The one object the program exports.
inline constexpr const char* kBusPath = "/Tabulon";

} // namespace tabulon
