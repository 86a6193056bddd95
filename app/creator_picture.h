// The picture in the About window, drawn by the program itself.
#pragma once

#include <cstdint>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // rows top to bottom, three bytes a pixel
};

// A 127 x 175 portrait of the maker at the bench: 24-bit colour.
Picture CreatorPicture();
