// What a mask's draw mode means: for a border mask a set of bits, for a
// texture how it fills the area. Shared by the skin model and the pixel layer.
#pragma once

// Border masks: a set of bits.
constexpr int kDrawStretch = 1;    // stretch edges (and centre) instead of tiling
constexpr int kDrawNotNormal = 2;  // draw nothing in state 0
constexpr int kDrawCentre = 4;     // fill the centre piece

// Texture fill modes. 0 and 1 cover the whole area; 2 to 9 lay the texture
// along one edge, tiled (2 top, 3 bottom, 4 left, 5 right) or stretched
// along it (6 top, 7 bottom, 8 left, 9 right); any other mode tiles.
enum TsTextureFill : int {
  tfTile = 0,
  tfStretch = 1,
  tfTileTop = 2,
  tfTileBottom = 3,
  tfTileLeft = 4,
  tfTileRight = 5,
  tfStretchTop = 6,
  tfStretchBottom = 7,
  tfStretchLeft = 8,
  tfStretchRight = 9,
  tfOverlay = 10,  // tiles; a masked texture in this mode is laid once more over the look
};
