// The platform's text-mode line end, which the program's text files use.
#pragma once

#include <string_view>

namespace text {

#ifdef _WIN32
inline constexpr std::string_view kPlatformLineEnd = "\r\n";
#else
inline constexpr std::string_view kPlatformLineEnd = "\n";
#endif

}  // namespace text
