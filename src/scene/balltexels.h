// Where each ball size lies in the 64 x 64 hardware ball texture (the second image of "hwballs.fsh"): one row per
// pixel size 1 to 16, for a ball in the open and one in the rough. The demo generator lays the texture out by it.
#pragma once

struct BallTexelRow {
  int c0, r0, c1, r1, dx, dy;  // first and last texel column and row; the offset in pixels
};

constexpr int kBallTextureSide = 64;
constexpr BallTexelRow kBallTexels[16] = {
    {34, 14, 35, 15, 0, 0}, {32, 14, 33, 15, 1, 1}, {60, 4, 63, 7, 1, 1},   {60, 0, 63, 3, 2, 2},
    {6, 24, 11, 29, 2, 2},  {0, 24, 5, 29, 3, 3},   {4, 16, 11, 23, 3, 3},  {12, 16, 19, 23, 4, 4},
    {20, 16, 29, 25, 4, 4}, {30, 16, 39, 25, 5, 5}, {40, 14, 51, 25, 5, 5}, {52, 14, 63, 25, 6, 6},
    {46, 0, 59, 13, 6, 6},  {32, 0, 45, 13, 7, 7},  {16, 0, 31, 15, 7, 7},  {0, 0, 15, 15, 8, 8}};
constexpr BallTexelRow kBallRoughTexels[16] = {
    {36, 14, 37, 15, 0, 0}, {60, 8, 63, 10, 0, 1},  {33, 52, 37, 55, 0, 1}, {35, 60, 41, 63, 0, 2},
    {42, 59, 48, 63, 1, 2}, {13, 33, 20, 37, 1, 3}, {13, 26, 22, 32, 1, 3}, {38, 52, 48, 58, 1, 4},
    {0, 39, 11, 47, 2, 4},  {0, 30, 12, 38, 2, 5},  {49, 52, 63, 61, 2, 5}, {13, 39, 28, 48, 2, 6},
    {29, 40, 45, 51, 2, 6}, {46, 40, 63, 51, 3, 7}, {23, 26, 42, 39, 3, 7}, {43, 26, 63, 39, 3, 8}};
