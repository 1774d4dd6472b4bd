// The tile pattern: cells of a grid, rows shifted by the bond, joints of mortar around each tile.
#include "TilesCore.h"

#include <math.h>
#include <stdint.h>

namespace tiles {

namespace {

const float kBevelWidth = 0.15f;  // in tile heights: how far in from the joint the bevel reaches
const float kBevelDarkest = 0.55f;

float Clamp01(float x) { return x < 0 ? 0 : x > 1 ? 1 : x; }

}  // namespace

float Stagger(const Pattern& p, int row) {
  float per = p.bond == Bond::kStack ? 0.0f : p.bond == Bond::kRunning ? 0.5f : p.offset.z;
  float s = per * (float)row;
  return s - floorf(s);
}

Cell Locate(const Pattern& p, float u, float v) {
  const int across = p.across < 1 ? 1 : p.across, down = p.down < 1 ? 1 : p.down;
  float y = v * (float)down + p.offset.y;
  float rowF = floorf(y);
  int row = (int)rowF;
  float x = u * (float)across + p.offset.x + Stagger(p, row);
  float colF = floorf(x);
  float fx = x - colF, fy = y - rowF;
  // A joint is split between the two tiles it separates: half of it at each side of a cell.
  float hu = Clamp01(p.mortarU) * 0.5f, hv = Clamp01(p.mortarV) * 0.5f;
  Cell c = {(int)colF, row, false, 0.0f};
  float dx = fx < 0.5f ? fx - hu : 1.0f - hu - fx;  // distance to the vertical joint, in tile widths
  float dy = fy < 0.5f ? fy - hv : 1.0f - hv - fy;
  if (dx < 0 || dy < 0) return c;
  c.onTile = true;
  // Tile widths are across/down tile heights apart in texture space when the map is square.
  float dxHeights = dx * (float)down / (float)across;
  c.edge = dxHeights < dy ? dxHeights : dy;
  return c;
}

float TileNoise(int column, int row, int channel) {
  // A 32-bit mix of the three integers (the finaliser of MurmurHash3), cut to 24 bits.
  uint32_t h = (uint32_t)column * 0x9E3779B1u ^ (uint32_t)row * 0x85EBCA77u ^ (uint32_t)channel * 0xC2B2AE3Du;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return (float)(h >> 8) / 16777216.0f;
}

Color Evaluate(const Pattern& p, float u, float v) {
  Cell c = Locate(p, u, v);
  if (!c.onTile) return p.mortar;
  float rgb[3] = {p.tile.r, p.tile.g, p.tile.b};
  const float amount[3] = {p.variation.x, p.variation.y, p.variation.z};
  const float kPercent = 0.01f;
  float shade = 1.0f;
  if (p.bevel && c.edge < kBevelWidth) shade = kBevelDarkest + (1.0f - kBevelDarkest) * c.edge / kBevelWidth;
  for (int k = 0; k < 3; k++) {
    float change = amount[k] * kPercent * (2.0f * TileNoise(c.column, c.row, k) - 1.0f);
    rgb[k] = Clamp01(rgb[k] * (1.0f + change) * shade);
  }
  return Color(rgb[0], rgb[1], rgb[2]);
}

}  // namespace tiles
