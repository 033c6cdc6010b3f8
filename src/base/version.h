#pragma once
// The program's version as the help text, window title and files show it.

namespace kestrane {
constexpr float VERSION_NUMBER = 2.4f;
constexpr char VERSION_LETTER = 'b';
constexpr const char* RELEASE_DATE = "Mar 2002";

}  // namespace kestrane
