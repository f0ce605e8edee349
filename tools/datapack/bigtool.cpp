// bigtool: lists, extracts and builds big files, and packs or unpacks single files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datapack/datapack.h"
#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/memclass.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: bigtool list ARCHIVE\n"
               "       bigtool extract ARCHIVE NAME [OUT]      (packed entries are unpacked)\n"
               "       bigtool build [-1|-2] [-p CODE] ARCHIVE FILE...\n"
               "       bigtool pack CODE IN OUT                 (CODE: 10 30 32 34 46 4a, hex; or best)\n"
               "       bigtool unpack IN OUT\n");
  return 2;
}

bool readfile(const std::string& path, datapack::Bytes* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool writefile(const std::string& path, const datapack::Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

// The data itself when not packed; the unpacked bytes otherwise; false when packed data is damaged.
bool unpacked(const datapack::Bytes& in, datapack::Bytes* out) {
  const uint32_t size = getunpacksizen(in.data(), in.size());
  if (size == 0) {
    *out = in;
    return true;
  }
  out->assign(size, 0);
  return decompressn(in.data(), in.size(), out->data(), out->size()) == size;
}

datapack::Bytes packwith(const std::string& code, const datapack::Bytes& data) {
  if (code == "best") {
    datapack::Bytes b = datapack::packbest(data);
    return b.empty() ? data : b;
  }
  return datapack::pack(static_cast<uint8_t>(std::strtoul(code.c_str(), nullptr, 16)), data);
}

}  // namespace

int main(int argc, char** argv) {
  abortonerror = 0;  // a tool reports failures itself
  if (argc < 2) return usage();
  const std::string cmd = argv[1];
  try {
    if (cmd == "list" && argc == 3) {
      datapack::Bytes big;
      if (!readfile(argv[2], &big)) return std::perror(argv[2]), 1;
      const int form = typeofbigfilen(big.data(), big.size());
      if (!form) return std::fprintf(stderr, "%s: not a big file\n", argv[2]), 1;
      // The directory is read only within the file's bytes.
      registerbigfile(big.data(), big.size());
      std::printf("form %d, %u entries\n", form, bigentrycount(big.data()));
      int i = 0;
      visitbigentries(big.data(), big.size(), [&](const char* name, uint32_t offset, uint32_t size) {
        const uint32_t unpackedsize = getunpacksizen(big.data() + offset, size);
        std::printf("%4d %10u %10u %s%s\n", i++, offset, size, name, unpackedsize ? " (packed)" : "");
      });
      unregisterbigfile(big.data());
      return 0;
    }
    if (cmd == "extract" && (argc == 4 || argc == 5)) {
      datapack::Bytes big, data;
      if (!readfile(argv[2], &big)) return std::perror(argv[2]), 1;
      uint32_t offset, size;
      if (!findbigentryn(big.data(), big.size(), argv[3], 0, &offset, &size))
        return std::fprintf(stderr, "%s: no entry %s\n", argv[2], argv[3]), 1;
      if (!unpacked(datapack::Bytes(big.begin() + offset, big.begin() + offset + size), &data))
        return std::fprintf(stderr, "%s: entry %s is damaged\n", argv[2], argv[3]), 1;
      return writefile(argc == 5 ? argv[4] : argv[3], data) ? 0 : 1;
    }
    if (cmd == "build") {
      int form = 2, i = 2;
      std::string code;
      for (; i < argc && argv[i][0] == '-'; ++i) {
        if (!std::strcmp(argv[i], "-1")) form = 1;
        else if (!std::strcmp(argv[i], "-2")) form = 2;
        else if (!std::strcmp(argv[i], "-p") && i + 1 < argc) code = argv[++i];
        else return usage();
      }
      if (i >= argc) return usage();
      const std::string archive = argv[i++];
      std::vector<datapack::BigEntry> entries;
      for (; i < argc; ++i) {
        datapack::BigEntry e;
        if (!readfile(argv[i], &e.data)) return std::perror(argv[i]), 1;
        e.name = std::filesystem::path(argv[i]).filename().string();
        if (!code.empty()) e.data = packwith(code, e.data);
        entries.push_back(std::move(e));
      }
      return writefile(archive, datapack::writebigfile(form, entries)) ? 0 : 1;
    }
    if (cmd == "pack" && argc == 5) {
      datapack::Bytes in;
      if (!readfile(argv[3], &in)) return std::perror(argv[3]), 1;
      return writefile(argv[4], packwith(argv[2], in)) ? 0 : 1;
    }
    if (cmd == "unpack" && argc == 4) {
      datapack::Bytes in, out;
      if (!readfile(argv[2], &in)) return std::perror(argv[2]), 1;
      if (!unpacked(in, &out)) return std::fprintf(stderr, "%s: damaged packed data\n", argv[2]), 1;
      return writefile(argv[3], out) ? 0 : 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bigtool: %s\n", e.what());
    return 1;
  }
  return usage();
}
