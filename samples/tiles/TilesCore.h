// The tile pattern of the tiles sample, apart from the plug-in around it: where a point of texture
// space falls (on a tile or in the mortar between tiles) and the colour it gets there.
#pragma once

#include "Quorlib.h"

namespace tiles {

// How the rows of tiles are laid against each other.
enum class Bond { kStack = 0, kRunning = 1, kCustom = 2 };

// The pattern's settings at one time.
struct Pattern {
  int across = 4;           // tiles along u over the unit square, 1 or more
  int down = 8;             // rows of tiles along v over the unit square, 1 or more
  float mortarU = 0.05f;    // width of the mortar joint between tiles in a row, in tile widths
  float mortarV = 0.05f;    // height of the joint between rows, in tile heights
  Bond bond = Bond::kRunning;
  Point3 offset;            // x, y: the pattern's shift in tiles along u and v; z: the custom stagger
  Color tile = Color(0.7f, 0.29f, 0.18f);
  Color mortar = Color(0.89f, 0.87f, 0.8f);
  Point3 variation;         // per-tile random change of red, green and blue, in percent (0 to 100)
  bool bevel = false;       // tiles darken towards their edges
};

// Where (u, v) falls: the tile's column and row (also for a point in the mortar, the tile whose
// cell holds it) and whether it is on the tile.
struct Cell {
  int column;
  int row;
  bool onTile;
  float edge;  // on a tile: its distance to the nearest joint in tile heights; 0 in the mortar
};

// The stagger of row row in tiles: 0 for stack bond, a half for running bond, the custom value.
float Stagger(const Pattern& p, int row);
Cell Locate(const Pattern& p, float u, float v);
// The colour at (u, v).
Color Evaluate(const Pattern& p, float u, float v);
// A number in [0, 1) fixed for a tile and a channel (the tile's random variation).
float TileNoise(int column, int row, int channel);

}  // namespace tiles
