#pragma once
#include <cstdint>

// Where the link text sits inside its control, from the static control's style bits.
enum class LinkAlignment { Left, Center, Right };

// The static's type (the style's low five bits) SS_CENTER gives centred text, SS_RIGHT
// right-aligned text, every other type left-aligned text.
LinkAlignment LinkAlignmentFromStyle(uint32_t style);

// True for the static types that show a picture or a frame rather than text (icon, bitmap,
// enhanced metafile, owner-drawn, the filled rectangles, frames and etched lines): such a control
// keeps painting itself and its whole client area is the link.
bool StaticStyleShowsPicture(uint32_t style);

// How far to the right the measured text rectangle moves so that it sits as the style aligns it
// in a client area whose right edge is `clientRight`. Centring halves the free space, rounding
// toward zero; a text wider than the client gives a negative shift.
long LinkRectShift(LinkAlignment alignment, long clientRight, long textRight);
