// Our data-packing tools: writers for both big-file forms and encoders for the five pack codes. What they
// write is what the platform library's readers read; nothing here tries to match any other packer.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace datapack {

using Bytes = std::vector<uint8_t>;

// Thrown when the data does not fit a format's fields (sizes above 24 bits, names too short or long...).
struct FormatLimit : std::length_error {
  using std::length_error::length_error;
};

// ---- pack codes ----------------------------------------------------------------------------------------------
// `code` is 0x10, 0x30, 0x32, 0x34, 0x46 or 0x4A. With `withPackedLength` bit 0 of the code is set and the
// 3-byte packed length is stored before the unpacked size (the run code has no such field: it is ignored).
Bytes pack(uint8_t code, std::span<const uint8_t> data, bool withPackedLength = false);
Bytes packlz(std::span<const uint8_t> data, bool withPackedLength = false);
Bytes packhuffman(std::span<const uint8_t> data, uint8_t code = 0x30, bool withPackedLength = false);
Bytes packpair(std::span<const uint8_t> data, bool withPackedLength = false);
Bytes packrun(std::span<const uint8_t> data);
// The smallest block of the five codes; empty when none is smaller than the data itself.
Bytes packbest(std::span<const uint8_t> data);

// The block header of a pack code: code byte, mark 0xFB, optional packed length, unpacked size.
Bytes packheader(uint8_t code, uint32_t unpackedSize, bool withPackedLength);
// Fills in the packed-length field of a finished block made with `withPackedLength`.
void setpackedlength(Bytes& block);

// ---- big files ------------------------------------------------------------------------------------------------
struct BigEntry {
  std::string name;
  Bytes data;
};
// Form 1: the 0xC0FB form (names of at least four characters, 24-bit offsets and sizes, a directory of at
// most 65539 bytes). Form 2: "BIGF".
Bytes writebigfile(int form, const std::vector<BigEntry>& entries);

}  // namespace datapack
