// Blocks of the row space: a header of two words (entry count, reference count; 0 = free) and the entries.
#include "platformlib/gfx/rowspace.h"

#include "platformlib/core/memclass.h"

int32_t rowspacesize = 14336;

namespace {

int32_t* space = nullptr;
int32_t spacewords = 0;

int32_t* blockafter(int32_t* header) { return header + 2 + header[0]; }
// A negative count can only come from a stray write; it ends every walk.
bool inspace(const int32_t* header) { return header < space + spacewords && header[0] >= 0; }

void filltable(int32_t* table, int32_t base, int32_t step, int32_t shift, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    table[i] = static_cast<int32_t>((static_cast<int64_t>(base) + static_cast<int64_t>(i) * step) >> shift);
}

// A table is shared only when every entry the caller needs is the one it would get.
bool tablematches(const int32_t* table, int32_t base, int32_t step, int32_t shift, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    if (table[i] != static_cast<int32_t>((static_cast<int64_t>(base) + static_cast<int64_t>(i) * step) >> shift))
      return false;
  return true;
}

}  // namespace

void initrow() {
  if (rowspacesize < 204) {
    ABORTCONTEXT("win\\row.c", "initrow");
    abortmessage("initrow - INSUFFICIENT ROW TABLE SPACE (%d)\nMUST BE AT LEAST 204.\n", rowspacesize);
    return;
  }
  // A row space whose memory went away with the memory system is forgotten, not written to.
  if (space && findmemblock(space) != space) {
    space = nullptr;
    spacewords = 0;
  }
  if (space && spacewords != rowspacesize) removerowspace();
  if (!space) {
    space = static_cast<int32_t*>(reservememadr("rowtbl", rowspacesize * 4, 0));
    if (!space) return;
    spacewords = rowspacesize;
  }
  space[0] = spacewords - 2;
  space[1] = 0;
}

int rowspaceready() { return space != nullptr; }

void removerowspace() {
  if (space) purgememadr(space);
  space = nullptr;
  spacewords = 0;
}

int32_t* makerow(int32_t base, int32_t step, int32_t shift, int32_t count) {
  if (!space || count < 0) return nullptr;
  int32_t* freeblock = nullptr;
  for (int32_t* h = space; inspace(h); h = blockafter(h)) {
    if (h[1] > 0 && h[0] >= count && tablematches(h + 2, base, step, shift, count)) {
      ++h[1];
      return h + 2;
    }
    if (h[1] == 0 && h[0] >= count && !freeblock) freeblock = h;
  }
  if (!freeblock) return nullptr;
  if (freeblock[0] >= count + 8) {
    int32_t* rest = freeblock + 2 + count;
    rest[0] = freeblock[0] - count - 2;
    rest[1] = 0;
    freeblock[0] = count;
  }
  freeblock[1] = 1;
  filltable(freeblock + 2, base, step, shift, freeblock[0]);
  return freeblock + 2;
}

void removerow(int32_t* table) {
  if (!table || !space) return;
  int32_t* header = table - 2;
  if (header < space || !inspace(header) || header[1] <= 0) {
    ABORTCONTEXT("win\\row.c", "removerow");
    abortmessage("removewindow - ROW SPACE CORRUPTED\n");
    return;
  }
  if (--header[1] > 0) return;
  int32_t* previous = nullptr;
  int32_t* h = space;
  while (inspace(h) && h < header) {
    previous = h;
    h = blockafter(h);
  }
  if (h != header) {
    ++header[1];
    ABORTCONTEXT("win\\row.c", "removerow");
    abortmessage("removewindow - ROW SPACE CORRUPTED\n");
    return;
  }
  int32_t* next = blockafter(header);
  if (inspace(next) && next[1] == 0) header[0] += next[0] + 2;
  if (previous && previous[1] == 0) previous[0] += header[0] + 2;
}

int rowspaceblocks() {
  int n = 0;
  if (space)
    for (int32_t* h = space; inspace(h); h = blockafter(h)) ++n;
  return n;
}

void rowspaceblock(int index, int32_t* count, int32_t* references, int32_t** table) {
  int n = 0;
  for (int32_t* h = space; space && inspace(h); h = blockafter(h), ++n) {
    if (n != index) continue;
    if (count) *count = h[0];
    if (references) *references = h[1];
    if (table) *table = h + 2;
    return;
  }
}
