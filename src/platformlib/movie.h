// Movie pictures: intra-coded 8 x 8 transform blocks in 16 x 16 macroblocks, decoded into rows of packed 7-bit
// YUV pixel pairs, and drawn into 15- and 16-bit windows at single or double size.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kDctEndWord = 0xFE00;
constexpr uint16_t kDctEscapeValue = 0x7C1F;
constexpr int kDctEndDc = 0x1FF;

// One entry of the coefficient code lookups.
struct DctCode {
  uint16_t value;  // run x 1024 + level (10-bit two's complement), or the end / escape value
  uint8_t length;  // bits of the code; 32 = long-code prefix, 33 = escape
};

// The tables the decoder builds once.
void dctbuildtables();
const DctCode* dctcodetable();  // 8192 entries, indexed by the next 13 bits
const DctCode* dctlongtable();  // 512 entries, indexed by the 9 bits after eight zeros
const uint8_t* dctclamptable(); // 256 entries, indexed by the sample's byte
void dctsetquality(int32_t quality);
const int32_t* dctquanttable();  // 64 entries, raster order
extern const uint8_t kDctScan[64];  // transposed zigzag order

// Decodes the coefficient codes of a sequence of blocks. The input holds inwords 16-bit words (most
// significant bit first); at most outcapacity words are written. Returns the words written, or -1 when the
// input ends before the end marker, a block carries more than 63 coefficients or the output is full.
int64_t dctdecodeblock(const uint16_t* input, size_t inwords, uint16_t* output, size_t outcapacity);
// Dequantises one block's words (at most available of them) into the coefficient block. Returns the words
// used (2 for a block with only its DC value), or 0 when the block is damaged.
int dctdequantise(const uint16_t* words, size_t available);
int32_t* dctcoefficients();  // the coefficient block, 64 values
void dctidct(int32_t* output, int stride);
void dctfillblock(int32_t* block, int stride);

using PixelPair = uint32_t;
void dctpackrow(const int32_t* luminance, const int32_t* cd1, const int32_t* cd2, PixelPair* output);

// Decodes one macroblock into the frame at output (frame width in pixels). Returns the words consumed, or 0
// when the macroblock's words are damaged (the frame is then left as it was).
int dctdecodemacroblock(const uint16_t* words, size_t available, PixelPair* output, int32_t framewidth);
// Decodes a whole picture of width x height (multiples of 16) from a list made by dctbegin. 0, or -1 when
// the list is short or damaged.
int dctdecodepicture(const uint16_t* words, size_t available, PixelPair* frame, int32_t width, int32_t height);
// Decodes the coded data of a picture into the code-word list: the word count, or -1 for damaged data.
int64_t dctbegin(const uint8_t* data, size_t bytes, uint16_t* words, size_t capacity);

// Colour rows.
void buildvideocolourtables(int depth);
int videocolourdepth();
void yuvrow(const PixelPair* pairs, uint32_t* output, int32_t count);
void yuvrowdouble(const PixelPair* pairs, uint32_t* output, int32_t count);
void yuvwiden(const PixelPair* pairs, PixelPair* output, int32_t count);
void yuvwidenavg(const PixelPair* rowa, const PixelPair* rowb, PixelPair* output, int32_t count);
void clamppack8(const int32_t* values, uint32_t* output, int32_t count);

// The frame that blitvideoframe draws: width / 2 pairs a row.
void setvideoframe(const PixelPair* frame);
int blitvideoframe(int32_t x, int32_t y, int32_t width, int32_t height, int mode);
// Installs the software path of the movie output.
void moviesetblithook();

// The .mad container: a chunk file of one header chunk, one chunk a frame and an end chunk.
constexpr uint32_t kMadHeaderId = 0x4844414D;  // "MADH"
constexpr uint32_t kMadFrameId = 0x4644414D;   // "MADF"
constexpr uint32_t kMadEndId = 0x4544414D;     // "MADE"
struct MovieHeader {
  int32_t width, height;  // multiples of 16
  uint32_t frames;
  uint32_t rate;  // frames a second x 100
};
// Reads a header chunk's data (after the 8-byte chunk header): 0, or -1 when it is short or its sizes bad.
int movieparseheader(const uint8_t* data, size_t bytes, MovieHeader* header);
// Decodes a frame chunk's data into width / 2 x height pixel pairs: 0, or -1 for damaged data.
int moviedecodeframe(const uint8_t* data, size_t bytes, PixelPair* frame, int32_t width, int32_t height);
