#include "golf/golferfile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

bool readAll(const std::string& path, std::vector<uint8_t>& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// Writes the bytes beside the target and moves them into place, so a failed write never damages the file.
bool writeReplacing(const std::string& path, const uint8_t* data, size_t size) {
  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = std::fclose(f) == 0 && ok;
  std::error_code ec;
  if (ok) std::filesystem::rename(temp, path, ec);
  if (!ok || ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

bool serializeTagged(playerInfo_s& record, std::vector<uint8_t>& out) {
  record.flags &= ~kGolferFlag9;
  record.flags |= kGolferTaggedForm;
  out.assign(kTaggedRecordBytes, 0);
  golf_svc::SerialStream s = golf_svc::SerialStream::OverMemory(out.data(), out.size());
  if (!record.WriteToStream(&s)) return false;
  out.resize(static_cast<size_t>(s.cursor - out.data()));
  return true;
}

}  // namespace

std::string GolferFilePath(const std::string& folder, const char* name) {
  if (!name) return {};
  const size_t len = strnlen(name, 16);
  if (len == 0 || len >= 16) return {};
  const std::string n(name, len);
  if (n == "." || n == "..") return {};
  for (unsigned char c : n)
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
        c == '<' || c == '>' || c == '|')
      return {};
  return (std::filesystem::path(folder) / (n + ".amt")).string();
}

int LoadGolferFile(const std::string& folder, const char* name, playerInfo_s& record) {
  const std::string path = GolferFilePath(folder, name);
  if (path.empty()) return kGolferFileBadName;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return kGolferFileCannotOpen;
  const bool ok = record.LoadFromFile(f);
  std::fclose(f);
  return ok ? kGolferFileOk : kGolferFileDamaged;
}

int SaveGolferFile(const std::string& folder, playerInfo_s& record) {
  const std::string path = GolferFilePath(folder, record.name);
  if (path.empty()) return kGolferFileBadName;
  std::vector<uint8_t> bytes;
  if (!serializeTagged(record, bytes)) return kGolferFileCannotOpen;
  return writeReplacing(path, bytes.data(), bytes.size()) ? kGolferFileOk : kGolferFileCannotOpen;
}

int UpdateGolferFile(const std::string& folder, playerInfo_s& record) {
  const std::string path = GolferFilePath(folder, record.name);
  if (path.empty()) return kGolferFileBadName;
  std::vector<uint8_t> old;
  if (!readAll(path, old)) return kGolferFileCannotOpen;
  if (!HasTaggedLead(old.data(), old.size())) return kGolferFileDamaged;
  std::vector<uint8_t> fresh;
  if (!serializeTagged(record, fresh) || fresh.size() < kTaggedLeadBytes) return kGolferFileCannotOpen;
  // Keep the stored lead as it is; the later tags and the end tag come from the record.
  std::vector<uint8_t> out(old.begin(), old.begin() + kTaggedLeadBytes);
  out.insert(out.end(), fresh.begin() + kTaggedLeadBytes, fresh.end());
  return writeReplacing(path, out.data(), out.size()) ? kGolferFileOk : kGolferFileCannotOpen;
}
