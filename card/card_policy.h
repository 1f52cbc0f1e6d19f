// card_policy.h - what the two programs do differently with a card, as one value the card object
// is given. Everything else a card does (which library call a command makes, how a refused value
// is kept, the picture, the snap context) is the same in both programs.
#pragma once

#include <cstdint>

// The order in which a card's kept parameters are sent when it is set up.
enum class SendOrder {
  // Standard, source, format, scan mode, crystal, brightness, contrast, hue, saturation, PLL,
  // input window, output window, mask, delay, horizontal and vertical mirror, chroma trap.
  kEveryParameter,
  // Standard, source, format, scan mode, brightness, contrast, hue, saturation, PLL, input window,
  // crystal. The output window follows at the first placement of the grid; mask, delay, mirrors
  // and chroma trap are not sent.
  kGridParameters,
};

// Who selects the grey palette into the window around live video and Capture Shot.
enum class PaletteOwner {
  kCard,   // the card selects its own palette, for the 8-bit formats (one card per window)
  kFrame,  // the frame selects one palette for every card in the window; the card does nothing
};

struct CardPolicy {
  // A setter keeps its value when the library answers 0, and also on QUARN_ERR_NOT_APPLIED
  // (accepted, applied later) when this is set.
  bool keepsNotApplied = false;
  // Source detection and sending the parameters go out with handle 0 for a card that did not
  // open (the calls fail on their own). When not set they do nothing for such a card.
  bool callsForUnopenedCard = false;
  SendOrder sendOrder = SendOrder::kEveryParameter;
  PaletteOwner palette = PaletteOwner::kCard;
  // The snap operations check the card's own state (open a snap only when idle, start, stop and
  // close only while open). When not set the caller's mode decides and every call goes out.
  bool guardsSnapByState = true;
  // The input and output windows are kept whatever the library answers: they follow the
  // program's layout (a grid cell), not the card. When not set they are kept on 0 alone.
  bool windowsFollowLayout = false;
  // The byte the display buffer is filled with when it is set up.
  uint8_t displayFill = 0xFF;
  // Frames a snap shot stored are read R x height bytes apart, R the row padded to 4 bytes; when
  // not set, back to back with unpadded rows.
  bool storedRowsPadded = true;
};

// Solvane: one card, which holds its own acquisition state and palette; a value is kept on 0 or
// QUARN_ERR_NOT_APPLIED; nothing goes out for a card that did not open but the setters.
inline constexpr CardPolicy kSingleCardPolicy{
    .keepsNotApplied = true,
    .callsForUnopenedCard = false,
    .sendOrder = SendOrder::kEveryParameter,
    .palette = PaletteOwner::kCard,
    .guardsSnapByState = true,
    .windowsFollowLayout = false,
    .displayFill = 0xFF,
    .storedRowsPadded = true,
};

// Hexmont: many cards in a grid under one frame, which holds the acquisition mode and the palette;
// a value is kept on 0 alone; a card that did not open is still sent everything.
inline constexpr CardPolicy kGridCardPolicy{
    .keepsNotApplied = false,
    .callsForUnopenedCard = true,
    .sendOrder = SendOrder::kGridParameters,
    .palette = PaletteOwner::kFrame,
    .guardsSnapByState = false,
    .windowsFollowLayout = true,
    .displayFill = 0x00,
    .storedRowsPadded = false,
};
