// The row space: one shared store of row-offset and column-offset tables for window descriptors. Tables
// with the same contents are shared and reference-counted.
#pragma once

#include <cstdint>

extern int32_t rowspacesize;  // in 32-bit words; at least 204

void initrow();
int32_t* makerow(int32_t base, int32_t step, int32_t shift, int32_t count);
void removerow(int32_t* table);
// Gives the whole row space back (display restore); windows must not use their tables afterwards.
void removerowspace();
int rowspaceready();

// For checks: the number of blocks, and the count and reference count of block i (in address order).
int rowspaceblocks();
void rowspaceblock(int index, int32_t* count, int32_t* references, int32_t** table);
