// Phone book fuzz entry: any bytes as "PHONE.LST". Only the records the file holds are read, at most 99, each text
// within its field; what is read writes back and reads again the same.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "frontend/modemplay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of its own size, so a read past the end is seen by the address sanitizer.
  const std::vector<uint8_t> file(data, data + size);
  const std::vector<PhoneEntry> book = ReadPhoneBook(file.data(), file.size());
  if (book.size() > static_cast<size_t>(kPhoneBookMax) || (size < 8 && !book.empty())) std::abort();
  if (!book.empty() && 8 + book.size() * (kPhoneNameField + kPhoneNumberField) > size) std::abort();
  for (const PhoneEntry& e : book)
    if (e.name.size() >= kPhoneNameField + 1 || e.number.size() >= kPhoneNumberField + 1) std::abort();
  const std::vector<uint8_t> written = WritePhoneBook(book);
  const std::vector<PhoneEntry> again = ReadPhoneBook(written.data(), written.size());
  if (again.size() != book.size()) std::abort();
  return 0;
}
