// font.h - the simulated card's built-in 5 x 7 bitmap font for the text it draws into its picture
// (card number, input name, frame counter, "NO SIGNAL").
#pragma once

#include <cstdint>
#include <string_view>

namespace quarnsim::font {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
// Horizontal distance from one character cell to the next: the glyph and one blank column.
inline constexpr int kAdvance = kGlyphWidth + 1;

// Row `row` (0 = top) of the glyph of `c`: bit (kGlyphWidth - 1 - column) set means the pixel in
// that column is lit. Printable ASCII has glyphs; any other character draws as a filled box.
// Rows outside 0 .. kGlyphHeight - 1 are blank.
uint8_t GlyphRow(char c, int row);

// True when pixel (column, row) of the glyph of `c` is lit; false outside the glyph.
bool GlyphPixel(char c, int column, int row);

// Width in font pixels of `text` drawn with kAdvance per character (no trailing blank column);
// 0 for empty text.
int TextWidth(std::string_view text);

}  // namespace quarnsim::font
