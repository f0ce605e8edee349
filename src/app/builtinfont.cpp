// The program's built-in font, compiled in from data/builtin.ffn (see docs/fonts.md for where it comes from).
#include <cstddef>
#include <cstdint>

#include "app/gameapp.h"

namespace {

alignas(4) const uint8_t kFont[] = {
#include "builtinfont_data.inc"
};

}  // namespace

const void* BuiltInFont() { return kFont; }
size_t BuiltInFontSize() { return sizeof kFont; }
