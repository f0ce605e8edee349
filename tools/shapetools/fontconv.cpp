// fontconv: makes a library font file (.ffn) from a PC screen font (PSF 1 or 2, plain or gzip-compressed),
// such as the Terminus Font console fonts of Debian's console-setup-linux package.
//
//   fontconv [--bits 1|4] [--shrink N] input.psf[.gz] output.ffn
//
// Codes 32..126 and 160..255 are taken through the font's Unicode table (Latin-1). With --bits 4 every N x N
// block of the source glyph becomes one pixel whose value is the share of set pixels (0..15), which gives
// smoothed 4-bit glyphs from a larger bitmap font.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "psffont.h"

int main(int argc, char** argv) {
  int bits = 1, shrink = 1;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--bits" && i + 1 < argc) bits = std::atoi(argv[++i]);
    else if (a == "--shrink" && i + 1 < argc) shrink = std::atoi(argv[++i]);
    else paths.push_back(a);
  }
  if (paths.size() != 2 || (bits != 1 && bits != 4) || shrink < 1 || shrink > 8 || (bits == 1 && shrink != 1)) {
    std::fprintf(stderr, "usage: fontconv [--bits 1|4] [--shrink N] input.psf[.gz] output.ffn\n");
    return 2;
  }
  shapetools::Font font;
  std::string error;
  if (!shapetools::convertpsf(shapetools::readpsffile(paths[0]), bits, shrink, font, error)) {
    std::fprintf(stderr, "fontconv: %s: %s\n", paths[0].c_str(), error.c_str());
    return 1;
  }
  if (!shapetools::writefile(paths[1], shapetools::fontfile(font))) {
    std::fprintf(stderr, "fontconv: cannot write %s\n", paths[1].c_str());
    return 1;
  }
  const int gw = font.glyphs.empty() ? 0 : font.glyphs[0].width, gh = font.glyphs.empty() ? 0 : font.glyphs[0].height;
  std::printf("%s: %zu glyphs, %dx%d, %d bit%s\n", paths[1].c_str(), font.glyphs.size(), gw, gh, bits, bits == 1 ? "" : "s");
  return 0;
}
