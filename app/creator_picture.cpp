// Draws the maker's portrait from a few shapes, so the program ships no image file.
#include "app/creator_picture.h"

#include <cmath>

namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), rgb_(static_cast<std::size_t>(w * h * 3)) {}

  void Pixel(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) {
      return;
    }
    auto* p = &rgb_[static_cast<std::size_t>((y * w_ + x) * 3)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
  void Ellipse(double cx, double cy, double rx, double ry, Rgb c) {
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_; ++x) {
        const double dx = (x - cx) / rx;
        const double dy = (y - cy) / ry;
        if (dx * dx + dy * dy <= 1.0) {
          Pixel(x, y, c);
        }
      }
    }
  }
  void Rect(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        Pixel(x, y, c);
      }
    }
  }
  Picture Take() { return {w_, h_, std::move(rgb_)}; }
  int Width() const { return w_; }
  int Height() const { return h_; }

 private:
  int w_, h_;
  std::vector<std::uint8_t> rgb_;
};

}  // namespace

Picture CreatorPicture() {
  Canvas c(127, 175);
  // A sky-blue wall that darkens towards the bench.
  for (int y = 0; y < c.Height(); ++y) {
    const auto shade = static_cast<std::uint8_t>(230 - y / 3);
    c.Rect(0, y, c.Width(), y + 1, {static_cast<std::uint8_t>(shade - 60), shade, 250});
  }
  const Rgb skin{240, 200, 160}, hair{90, 60, 30}, shirt{40, 80, 160}, dark{30, 30, 40};
  c.Ellipse(63, 150, 52, 40, shirt);         // shoulders
  c.Rect(55, 95, 72, 115, skin);             // neck
  c.Ellipse(63, 64, 30, 36, skin);           // face
  c.Ellipse(63, 36, 32, 14, hair);           // hair
  c.Ellipse(50, 62, 5, 4, {255, 255, 255});  // eyes
  c.Ellipse(76, 62, 5, 4, {255, 255, 255});
  c.Ellipse(51, 63, 2.5, 2.5, dark);
  c.Ellipse(77, 63, 2.5, 2.5, dark);
  c.Rect(43, 55, 57, 57, hair);  // brows
  c.Rect(69, 55, 83, 57, hair);
  for (int x = -11; x <= 11; ++x) {  // the smile
    const int y = 83 + static_cast<int>(std::lround(0.04 * (121 - x * x) / 2.0));
    c.Rect(63 + x, y, 64 + x, y + 2, {170, 60, 60});
  }
  c.Ellipse(63, 72, 3, 5, {225, 175, 140});  // nose
  // A serial cable in hand: a grey plug with a blue lead.
  c.Rect(92, 118, 118, 132, {150, 150, 160});
  for (int i = 0; i < 5; ++i) {
    c.Rect(95 + 5 * i, 122, 98 + 5 * i, 125, {60, 60, 60});
  }
  c.Rect(100, 132, 106, 175, {30, 60, 200});
  return c.Take();
}
