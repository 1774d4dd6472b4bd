// The tiles sample's pattern: where the joints fall, how the bonds shift the rows, and the colour
// a tile gets.
#include "TilesCore.h"

#include <gtest/gtest.h>

#include <math.h>

namespace {

const int kAcross = 4, kDown = 8;
const float kJoint = 0.1f;       // a tenth of a tile: 0.05 of it at each side of a cell
const float kInside = 0.2f;      // a point well inside a cell, in tiles from its corner
const float kNearJoint = 0.03f;  // inside a half joint

tiles::Pattern Plain(tiles::Bond bond) {
  tiles::Pattern p;
  p.across = kAcross;
  p.down = kDown;
  p.mortarU = p.mortarV = kJoint;
  p.bond = bond;
  p.offset = Point3(0, 0, 0);
  p.variation = Point3(0, 0, 0);
  p.bevel = false;
  return p;
}

// Texture coordinates of the point (x, y) tiles from the pattern's origin.
float U(float x) { return x / kAcross; }
float V(float y) { return y / kDown; }

bool SameColor(const Color& a, const Color& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

}  // namespace

TEST(TilesPattern, JointsSplitBetweenNeighbouringCellsAndRowsShiftByTheBond) {
  tiles::Pattern stack = Plain(tiles::Bond::kStack);
  tiles::Cell c = tiles::Locate(stack, U(2 + kInside), V(3 + kInside));
  EXPECT_TRUE(c.onTile);
  EXPECT_EQ(c.column, 2);
  EXPECT_EQ(c.row, 3);
  EXPECT_FALSE(tiles::Locate(stack, U(2 + kNearJoint), V(3 + kInside)).onTile) << "the left half joint";
  EXPECT_FALSE(tiles::Locate(stack, U(3 - kNearJoint), V(3 + kInside)).onTile) << "the right half joint";
  EXPECT_FALSE(tiles::Locate(stack, U(2 + kInside), V(4 - kNearJoint)).onTile) << "the joint between rows";
  EXPECT_TRUE(tiles::Locate(stack, U(2 + 0.5f), V(3 + 0.5f)).onTile);

  // Running bond: odd rows move half a tile, so the point that was in column 2 of row 3 is in
  // column 2's right half of the cell that starts half a tile earlier.
  tiles::Pattern running = Plain(tiles::Bond::kRunning);
  EXPECT_EQ(tiles::Stagger(running, 2), 0.0f);
  EXPECT_EQ(tiles::Stagger(running, 3), 0.5f);
  tiles::Cell shifted = tiles::Locate(running, U(2 + kInside), V(3 + kInside));
  EXPECT_EQ(shifted.column, 2);
  EXPECT_TRUE(tiles::Locate(running, U(2 + kNearJoint), V(3 + kInside)).onTile)
      << "where stack bond has its joint, running bond's odd row is mid-tile";
  EXPECT_FALSE(tiles::Locate(running, U(2.5f + kNearJoint), V(3 + kInside)).onTile) << "its joint is half a tile on";
  EXPECT_FALSE(tiles::Locate(running, U(2 + kNearJoint), V(2 + kInside)).onTile) << "even rows are not shifted";

  // A custom stagger of a third: row 3 moves by one tile (3 x 1/3), i.e. not at all.
  tiles::Pattern custom = Plain(tiles::Bond::kCustom);
  custom.offset.z = 1.0f / 3;
  EXPECT_NEAR(tiles::Stagger(custom, 1), 1.0f / 3, 1e-6f);
  EXPECT_NEAR(tiles::Stagger(custom, 3), 0.0f, 1e-6f);

  // The offset moves the whole pattern: a shift of half a tile along u puts a joint mid-cell.
  tiles::Pattern moved = Plain(tiles::Bond::kStack);
  moved.offset = Point3(0.5f, 0, 0);
  EXPECT_FALSE(tiles::Locate(moved, U(2.5f - kNearJoint), V(3 + kInside)).onTile);
}

TEST(TilesPattern, TileColoursVaryPerTileWithinTheirBoundsAndBevelsDarkenTheEdges) {
  tiles::Pattern p = Plain(tiles::Bond::kStack);
  EXPECT_TRUE(SameColor(tiles::Evaluate(p, U(1 + kNearJoint), V(1 + kInside)), p.mortar)) << "mortar";
  EXPECT_TRUE(SameColor(tiles::Evaluate(p, U(1 + kInside), V(1 + kInside)), p.tile)) << "no variation: the tile colour";

  const float kPercent = 50;
  p.variation = Point3(kPercent, 0, kPercent);
  int differing = 0;
  const int kTiles = 64;
  for (int i = 0; i < kTiles; i++) {
    int col = i % kAcross, row = i / kAcross;
    Color a = tiles::Evaluate(p, U(col + kInside), V(row + kInside));
    Color b = tiles::Evaluate(p, U(col + 1 - kInside), V(row + 1 - kInside));
    ASSERT_TRUE(SameColor(a, b)) << "one colour over tile " << col << ", " << row;
    EXPECT_EQ(a.g, p.tile.g) << "green does not vary";
    EXPECT_GE(a.r, p.tile.r * (1 - kPercent / 100) - 1e-6f);
    EXPECT_LE(a.r, p.tile.r * (1 + kPercent / 100) + 1e-6f);
    differing += a.r != p.tile.r;
  }
  EXPECT_GT(differing, kTiles / 2) << "the tiles' colours differ";
  for (int k = 0; k < 3; k++) {
    float n = tiles::TileNoise(5, -7, k);
    EXPECT_EQ(n, tiles::TileNoise(5, -7, k)) << "the same tile keeps its colour";
    EXPECT_GE(n, 0.0f);
    EXPECT_LT(n, 1.0f);
  }

  tiles::Pattern bevelled = Plain(tiles::Bond::kStack);
  bevelled.bevel = true;
  const float kJustInside = kJoint / 2 + 0.01f;
  Color centre = tiles::Evaluate(bevelled, U(1.5f), V(1.5f));
  Color edge = tiles::Evaluate(bevelled, U(1.5f), V(1 + kJustInside));
  EXPECT_TRUE(SameColor(centre, bevelled.tile)) << "the bevel leaves the middle of a tile alone";
  EXPECT_LT(edge.r, centre.r) << "and darkens its edge";
  EXPECT_GT(edge.r, 0.0f);
}
