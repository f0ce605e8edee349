// Big files (archives of named entries behind one directory) and the five pack codes.
//
// Two archive forms are read: the 0xC0FB form (3-byte offsets and sizes) and the "BIGF" form (4-byte ones).
// All multi-byte numbers of both archive forms and of packed blocks are big-endian.
//
// Every routine checks what it reads against the data it lies in. The classic entry points take only an
// address; their extent is known when the block was registered with `registerbigfile` (or lies inside a
// registered block), and is otherwise taken on trust from the block's own header. The entry points whose
// names end in `n` take the extent explicitly and never read or write outside the buffers they are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// ---- pack codes -------------------------------------------------------------------------------------------
enum : uint8_t {
  PACK_LZ = 0x10,
  PACK_HUFFMAN = 0x30,
  PACK_HUFFMAN_DELTA = 0x32,
  PACK_HUFFMAN_DELTA2 = 0x34,
  PACK_PAIR = 0x46,
  PACK_RUN = 0x4A,
  PACK_MARK = 0xFB,  // second byte of every packed block
};

// ---- extents of blocks held in memory --------------------------------------------------------------------
// Records that `size` bytes at `address` belong to one big file or packed block, so that the classic entry
// points can check offsets and lengths against it. Registering the same address again replaces its size.
void registerbigfile(const void* address, size_t size);
void unregisterbigfile(const void* address);
// Bytes from `address` to the end of the registered block that contains it; 0 when none does.
size_t registeredextent(const void* address);

// ---- big files ----------------------------------------------------------------------------------------------
// Size of the entry found by the last `bigentryoffset`, `locatebigentryadr` or `bigentryadrnum`.
extern uint32_t lastbigentrysize;

// 1 for the 0xC0FB form, 2 for "BIGF", 0 otherwise (aborting under `abortonerror`).
int typeofbigfile(const void* big);
int typeofbigfilen(const void* big, size_t bigsize);
uint32_t bigdirectoryend(const void* big);
uint32_t bigentrycount(const void* big);

// Looks an entry up by name (case-insensitive) or, with a null name, by number. Returns the address of the
// entry's name inside the directory and fills the out values (0 and 0 when not found).
char* locatebigentry(const void* big, const char* name, int number, uint32_t* offset, uint32_t* size);
char* findbigentry(const void* big, const char* name, int number, uint32_t* offset, uint32_t* size);
char* findbigentryn(const void* big, size_t bigsize, const char* name, int number, uint32_t* offset,
                    uint32_t* size);

// Visits the entries in directory order in one walk, up to the first whose data lies outside the block; the
// number visited.
int visitbigentries(const void* big, size_t bigsize,
                    const std::function<void(const char* name, uint32_t offset, uint32_t size)>& visit);

uint32_t bigentryoffset(const void* big, const char* name);
void* locatebigentryadr(const void* big, const char* name);
void* bigentryadrnum(const void* big, int number);
// Comma-separated names; each entry's address (or null) goes to the next slot of `out`.
void locatebigs(const void* big, const char* list, void** out);
// Copies entry `number`'s name; an empty string when there is none. The three-argument form assumes a buffer
// of 260 bytes. Returns 1 when the entry exists.
int bigentryname(const void* big, int number, char* buffer);
int bigentryname(const void* big, int number, char* buffer, size_t buffersize);

// ---- packed blocks ------------------------------------------------------------------------------------------
// The unpacked size of a block with a known pack code, 0 otherwise.
uint32_t getunpacksize(const void* block);
uint32_t getunpacksizen(const void* block, size_t blocksize);
uint32_t unpacksize(const void* block);  // aborts on an invalid pack code

// Unpacks into `destination`, which must hold the unpacked size. Returns that size, or 0 when the block does
// not begin with a known pack code or its data is damaged (short, overlong, self-referencing...).
uint32_t decompress(const void* block, void* destination);
uint32_t decompressn(const void* block, size_t blocksize, void* destination, size_t destsize);
// `decompress`, aborting (under `abortonerror`) on an invalid pack code or damaged data.
uint32_t unpack(const void* block, void* destination);

// The unpackers proper. `block` starts at the pack code; each returns the unpacked size or 0 on damage.
uint32_t lzunpack(const uint8_t* block, size_t blocksize, uint8_t* destination, size_t destsize);
uint32_t huffmanunpack(const uint8_t* block, size_t blocksize, uint8_t* destination, size_t destsize);
uint32_t pairunpack(const uint8_t* block, size_t blocksize, uint8_t* destination, size_t destsize);
uint32_t rununpack(const uint8_t* block, size_t blocksize, uint8_t* destination, size_t destsize);
