// Shared set-up of the shape, text and polygon tests: memory, the row space, aborts captured instead of ending
// the program, windows removed at the end, and golden pictures compared exactly.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"
#include "shapewriter.h"

inline std::vector<std::string>& ShapeAborts() {
  static std::vector<std::string> texts;
  return texts;
}

// Memory, the row space and a memory-backed display; aborts are recorded and cancelled.
inline void StartDrawing() {
  if (!memstarted()) initmem();
  gfxresetdisplay();
  rowspacesize = 14336;
  initrow();
  ShapeAborts().clear();
  abortfilterhook = [](const char* text) {
    ShapeAborts().push_back(text);
    return 0;
  };
  abortonerror = 1;
  releasewindow();
}

inline bool AbortedWith(const std::string& part) {
  for (const std::string& t : ShapeAborts())
    if (t.find(part) != std::string::npos) return true;
  return false;
}

class ShapeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartDrawing();
    std::memcpy(savedpalette_, CurrentPalette, sizeof savedpalette_);
    for (int i = 0; i < 256; ++i) CurrentPalette[i] = 0xFF000000u | (i << 16) | ((255 - i) << 8) | ((i * 7) & 0xFF);
  }
  void TearDown() override {
    releasewindow();
    for (WindowDesc* w : made_) removewindow(w);
    for (void* b : blocks_) purgememadr(b);
    std::memcpy(CurrentPalette, savedpalette_, sizeof savedpalette_);
    abortfilterhook = nullptr;
  }
  // A window, made current and cleared to `fill`, removed at the end of the test.
  WindowDesc* Window(int width, int height, int depth, uint32_t fill = 0) {
    WindowDesc* w = createwindowadra(width, height, depth, 1);
    if (!w) return nullptr;
    made_.push_back(w);
    setwindow(w);
    fillrect(0, 0, width, height, fill);
    return w;
  }
  // Copies bytes into a library block (shapes are used in place), freed at the end.
  uint8_t* Block(const std::vector<uint8_t>& bytes) {
    auto* p = static_cast<uint8_t*>(reservememadr("test", static_cast<int>(bytes.size() + 8), 0));
    std::memcpy(p, bytes.data(), bytes.size());
    blocks_.push_back(p);
    return p;
  }
  uint8_t* Shape(const shapetools::Image& image) { return Block(shapetools::shapebytes(image)); }
  void Own(void* block) {
    if (block) blocks_.push_back(block);
  }
  bool Aborted(const std::string& part) const { return AbortedWith(part); }
  uint32_t Px(int x, int y) { return readpixel(x, y); }

  // The current window as a TGA picture: 8-bit windows colour-mapped through CurrentPalette, other depths
  // their raw pixel words (16 or 32 bits), rows from the top.
  static std::vector<uint8_t> Picture(const WindowDesc& w) {
    const int bytes = w.depth == 8 ? 1 : (w.depth <= 16 ? 2 : 4);
    std::vector<uint8_t> out(18, 0);
    out[1] = w.depth == 8;
    out[2] = w.depth == 8 ? 1 : 2;
    if (w.depth == 8) {
      out[5] = 0; out[6] = 1;  // 256 entries
      out[7] = 24;
    }
    out[12] = static_cast<uint8_t>(w.width); out[13] = static_cast<uint8_t>(w.width >> 8);
    out[14] = static_cast<uint8_t>(w.height); out[15] = static_cast<uint8_t>(w.height >> 8);
    out[16] = static_cast<uint8_t>(bytes * 8);
    out[17] = 0x20;
    if (w.depth == 8)
      for (uint32_t c : CurrentPalette) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c >> 16));
      }
    for (int y = 0; y < w.height; ++y) {
      const uint8_t* row = w.pixels + w.rows[y];
      for (int x = 0; x < w.width; ++x) {
        uint32_t v = 0;
        const uint8_t* p = row + w.cols[x];
        for (int k = 0; k < (w.depth == 24 ? 3 : bytes); ++k) v |= static_cast<uint32_t>(p[k]) << (8 * k);
        for (int k = 0; k < bytes; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
      }
    }
    return out;
  }

  // Compares the current window with tests/golden/shapes/<name>.tga; on a difference the picture is written
  // as <name>.actual.tga in the working folder. TEEBOX_UPDATE_GOLDEN=1 rewrites the golden picture.
  void Golden(const std::string& name) {
    const std::vector<uint8_t> actual = Picture(CurrentWindow);
    const std::string path = std::string(TEEBOX_SOURCE_DIR) + "/tests/golden/shapes/" + name + ".tga";
    if (const char* update = std::getenv("TEEBOX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
      shapetools::writefile(path, actual);
      return;
    }
    const std::vector<uint8_t> expected = shapetools::readfile(path);
    if (expected != actual) {
      shapetools::writefile(name + ".actual.tga", actual);
      ADD_FAILURE() << "picture differs from " << path << " (written " << name << ".actual.tga)";
    }
  }

 private:
  std::vector<WindowDesc*> made_;
  std::vector<void*> blocks_;
  uint32_t savedpalette_[256];
};

// A shape of the given type whose pixels are value(x, y).
template <typename F>
shapetools::Image MakeImage(uint8_t type, int width, int height, F value) {
  shapetools::Image image;
  image.type = type;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.pixels.push_back(static_cast<uint32_t>(value(x, y)));
  return image;
}
