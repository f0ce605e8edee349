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
extern const uint8_t kDctIntraMatrix[64];  // the default intra quantiser matrix, raster order
// The scaled transform's prescale of a coefficient: round(8192 / (a(u) a(v))), a(0) = 1, a(k) = sqrt(2) cos(k pi/16).
int64_t dctprescale(int index);

// Decodes the coefficient codes of a sequence of blocks. The input holds inwords 16-bit words (most
// significant bit first); at most outcapacity words are written. Returns the words written, or -1 when the
// input ends before the end marker, a block carries more than 63 coefficients or the output is full.
int64_t dctdecodeblock(const uint16_t* input, size_t inwords, uint16_t* output, size_t outcapacity);
// Dequantises one block's words (at most available of them) into the coefficient block. Returns the words
// used (2 for a block with only its DC value), or 0 when the block is damaged.
int dctdequantise(const uint16_t* words, size_t available);
int32_t* dctcoefficients();  // the coefficient block, 64 values
void dctidct(int32_t* output, int stride);
// The same transform one value at a time in doubles; dctidct gives the same values faster where the processor
// has AVX2.
void dctidctplain(int32_t* output, int stride);
void dctfillblock(int32_t* block, int stride);
// The transform as 8 x 8 samples, each the clamp table's entry for bits 16-23 of its value, as the picture
// decoder takes them.
void dctidctsamples(uint8_t* output, int stride);

using PixelPair = uint32_t;
void dctpackrow(const int32_t* luminance, const int32_t* cd1, const int32_t* cd2, PixelPair* output);
// The same through the clamp table, a pair at a time.
void dctpackrowplain(const int32_t* luminance, const int32_t* cd1, const int32_t* cd2, PixelPair* output);

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

// The .mad container: a chunk file of picture chunks, in the order shown, and an end chunk. Chunks of other ids
// (a sound track) travel between them. Ids are compared exactly: "MADe" and "MADE" differ only in case.
constexpr uint32_t kMadKeyId = 0x6B44414D;   // "MADk": a key frame, never dropped
constexpr uint32_t kMadFrameId = 0x6D44414D; // "MADm": dropped only to catch up to the next key frame
constexpr uint32_t kMadDropId = 0x6544414D;  // "MADe": may be dropped whenever the player is late
constexpr uint32_t kMadEndId = 0x4544414D;   // "MADE"
constexpr int32_t kMadMaxWidth = 1280, kMadMaxHeight = 1024;
constexpr size_t kMadPictureOffset = 24;  // from the chunk's start
struct MovieFrame {
  uint32_t id;
  uint32_t quality;
  uint32_t duration;       // 16.16 milliseconds
  int32_t width, height;   // multiples of 16
  const uint8_t* picture;  // the coded picture, `bytes` long
  size_t bytes;
};
bool movieisframeid(uint32_t id);
// Reads a picture chunk (from its 8-byte header on, `bytes` in all): 0, or -2 when it is no picture chunk, is
// shorter than its fields or its stated size, or its picture is empty, not in whole macroblocks or too large.
int movieparseframe(const uint8_t* chunk, size_t bytes, MovieFrame* frame);
// Decodes a picture chunk's data (quality word, then the coded picture) into width / 2 x height pixel pairs: 0,
// or -1 for damaged data.
int moviedecodeframe(const uint8_t* data, size_t bytes, PixelPair* frame, int32_t width, int32_t height);
// The same for a parsed picture chunk.
int moviedecodepicture(const MovieFrame& parsed, PixelPair* frame);

// ---- frames of the streamed shape movies ------------------------------------------------------------------------
// A frame chunk's data: width, height (16-bit, multiples of 16), quality (16-bit), a reserved word, then 16-bit
// little-endian words of bits. Each macroblock (raster order) holds six blocks (Cb, Cr, luminance top-left,
// top-right, bottom-left, bottom-right), each led by a 2-bit mode: 0 coded, 1 one constant (8-bit signed
// sample), 2 copied from the previous frame (2-bit read pattern, 8-bit signed bias), 3 unchanged.
constexpr int kFrameBlockCoded = 0, kFrameBlockConstant = 1, kFrameBlockCopy = 2, kFrameBlockSame = 3;
// Read patterns of a copied block: straight, averaged with the sample to the right, with the sample below.
constexpr int kCopyStraight = 0, kCopyHalfRight = 1, kCopyHalfDown = 2;

// The first-level code table (512 entries) and the two long-code tables (256 entries each).
const uint32_t* moviecodetables(int which);
// Starts a frame's bit reader on words (count of them) and builds the dequantisation table for quality.
void dctframebegin(const uint16_t* words, size_t count, int32_t quality);
const int32_t* movieframequant();
// The next block into the coefficient block: 1 for a DC-only block, else one more than the last coefficient's
// scan position; -1 when the block is damaged or the data ends.
int moviedecodeblock();
// Eight words from 16 samples of the first plane and 8 of the two planes at plane2 and plane2 + 256.
void moviepackpixels(const uint8_t* first, const uint8_t* plane2, uint32_t* output);
// Decodes a frame chunk's data into destination (width / 2 pairs a row) against the previous frame's samples,
// which the decoder keeps (a new size starts from grey). 0, or -1 for damaged data or a size other than the
// chunk's; a damaged frame leaves the destination partly drawn.
int dctframedecode(PixelPair* destination, const uint8_t* data, size_t bytes, int32_t width, int32_t height);
// The decoder's sample planes of the last frame: luminance (width x height) then Cb and Cr (width/2 x height/2).
const uint8_t* movieframeplanes();
void movieframereset();
