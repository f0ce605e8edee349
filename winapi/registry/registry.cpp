// The registry stand-in: a tree of keys in memory, loaded from a text file on first use and written back
// whole, through a temporary file and a rename, when changes are flushed, when a changed key is closed and at
// exit. Lines of the file that cannot be read are reported and the file is kept beside it as "<file>.bad",
// so that nothing a person wrote is lost when the file is next rewritten.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

namespace {

constexpr size_t MAXKEYNAME = 255;
// Bounds on a key's place in the tree, so that a hostile file cannot make the rewrite quadratic or deep.
constexpr int MAXKEYDEPTH = 64;
constexpr size_t MAXKEYPATH = 1024;  // the path below the root, separators included

std::string lowered(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

// Names compare without case; without a lowered copy, as a load compares every value with those before it.
bool samename(std::string_view a, std::string_view b) {
  const size_t n = b.size();
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

struct Value {
  std::string name;
  DWORD type;
  std::vector<uint8_t> data;
};

struct Key {
  std::string name;
  std::map<std::string, std::shared_ptr<Key>> children;  // by lower-case name
  std::vector<Value> values;
  bool deleted = false;
  bool dynamic = false;  // HKEY_DYN_DATA: holds nothing
  int depth = 0;         // levels below the root
  size_t pathlength = 0;  // of the path below the root

  Value* find(const std::string& valueName) {
    for (Value& v : values)
      if (samename(v.name, valueName)) return &v;
    return nullptr;
  }
};

const char* const ROOTNAMES[7] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  nullptr, "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

struct Store {
  std::mutex mutex;
  bool loaded = false;
  bool dirty = false;
  bool exithook = false;
  std::string path;  // empty: the configured one
  std::string swept;  // the folder whose stale temporaries were cleared: once a run, not at every reload
  std::shared_ptr<Key> roots[7];
  std::map<uintptr_t, std::shared_ptr<Key>> handles;
  uintptr_t nexthandle = 0x1000;
};

Store& store() {
  static Store* s = new Store;  // never destroyed: the exit flush runs after static destructors may have
  return *s;
}

std::string configuredpath() {
  if (const char* p = std::getenv("WINAPI_REGISTRY"); p && *p) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/teebox/registry.txt";
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config/teebox/registry.txt";
  return "teebox-registry.txt";
}

// ---- the text form ------------------------------------------------------------------------------------------

void quote(std::string& out, const uint8_t* p, size_t n) {
  static const char hex[] = "0123456789abcdef";
  out += '"';
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = p[i];
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

// Reads a quoted text at `i`; false when it is not well formed.
bool unquote(const std::string& s, size_t& i, std::string* out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  while (i < s.size()) {
    const char c = s[i++];
    if (c == '"') return true;
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (i >= s.size()) return false;
    const char e = s[i++];
    if (e == 'x') {
      if (i + 2 > s.size()) return false;
      char* end = nullptr;
      const std::string digits = s.substr(i, 2);
      const long v = std::strtol(digits.c_str(), &end, 16);
      if (end != digits.c_str() + 2) return false;
      *out += static_cast<char>(v);
      i += 2;
    } else {
      *out += e;
    }
  }
  return false;
}

void writevalue(std::string& out, const Value& v) {
  if (v.name.empty()) out += '@';
  else quote(out, reinterpret_cast<const uint8_t*>(v.name.data()), v.name.size());
  out += '=';
  const auto& d = v.data;
  if (v.type == REG_SZ && !d.empty() && d.back() == 0 && std::memchr(d.data(), 0, d.size() - 1) == nullptr) {
    quote(out, d.data(), d.size() - 1);
  } else if (v.type == REG_DWORD && d.size() == 4) {
    char buf[16];
    const uint32_t x = uint32_t{d[0]} | (uint32_t{d[1]} << 8) | (uint32_t{d[2]} << 16) | (uint32_t{d[3]} << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", x);
    out += buf;
  } else {
    char buf[24];
    if (v.type == REG_BINARY) out += "hex:";
    else {
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
      out += buf;
    }
    for (size_t i = 0; i < d.size(); ++i) {
      std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", d[i]);
      out += buf;
    }
  }
  out += '\n';
}

// Depth first, in name order, without recursion.
void writekeys(std::string& out, const std::string& rootname, const Key& root) {
  std::vector<std::pair<std::string, const Key*>> pending;
  for (auto it = root.children.rbegin(); it != root.children.rend(); ++it)
    pending.emplace_back(rootname + "\\" + it->second->name, it->second.get());
  while (!pending.empty()) {
    auto [path, k] = std::move(pending.back());
    pending.pop_back();
    out += '[';
    out += path;
    out += "]\n";
    for (const Value& v : k->values) writevalue(out, v);
    for (auto it = k->children.rbegin(); it != k->children.rend(); ++it)
      pending.emplace_back(path + "\\" + it->second->name, it->second.get());
  }
}

std::string render(const Store& s) {
  std::string out = "; Registry of the teebox platform stand-in. One [key] line per key, then its values:\n"
                    "; \"name\"=\"text\", \"name\"=dword:<hex>, \"name\"=hex:<bytes>, \"name\"=hex(<type>):<bytes>; "
                    "@ is the default value.\n";
  for (int r = 0; r < 7; ++r) {
    if (!s.roots[r] || s.roots[r]->dynamic) continue;
    const Key& root = *s.roots[r];
    if (!root.values.empty()) {
      out += '[';
      out += ROOTNAMES[r];
      out += "]\n";
      for (const Value& v : root.values) writevalue(out, v);
    }
    writekeys(out, ROOTNAMES[r], root);
  }
  return out;
}

std::vector<std::string> components(const char* path) {
  std::vector<std::string> parts;
  std::string cur;
  for (const char* p = path ? path : ""; *p; ++p) {
    if (*p == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += *p;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

// Null when the path would go deeper or longer than a key may.
std::shared_ptr<Key> createpath(const std::shared_ptr<Key>& base, const std::vector<std::string>& parts, bool* created) {
  int depth = base->depth;
  size_t length = base->pathlength;
  for (const std::string& part : parts) {
    length += (depth ? 1 : 0) + part.size();
    if (++depth > MAXKEYDEPTH || length > MAXKEYPATH) return nullptr;
  }
  std::shared_ptr<Key> k = base;
  for (const std::string& part : parts) {
    auto& slot = k->children[lowered(part)];
    if (!slot) {
      slot = std::make_shared<Key>();
      slot->name = part;
      slot->depth = k->depth + 1;
      slot->pathlength = k->pathlength + (k->depth ? 1 : 0) + part.size();
      if (created) *created = true;
    }
    k = slot;
  }
  return k;
}

bool parsevalue(const std::string& line, Value* v) {
  size_t i = 0;
  if (line[0] == '@') {
    i = 1;
  } else if (!unquote(line, i, &v->name)) {
    return false;
  }
  if (i >= line.size() || line[i] != '=') return false;
  const std::string rest = line.substr(i + 1);
  if (!rest.empty() && rest[0] == '"') {
    std::string text;
    size_t j = 0;
    if (!unquote(rest, j, &text) || j != rest.size()) return false;
    v->type = REG_SZ;
    v->data.assign(text.begin(), text.end());
    v->data.push_back(0);
    return true;
  }
  if (rest.rfind("dword:", 0) == 0) {
    const std::string digits = rest.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    char* end = nullptr;
    const unsigned long x = std::strtoul(digits.c_str(), &end, 16);
    if (*end) return false;
    v->type = REG_DWORD;
    v->data = {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
               static_cast<uint8_t>(x >> 24)};
    return true;
  }
  std::string bytes;
  if (rest.rfind("hex:", 0) == 0) {
    v->type = REG_BINARY;
    bytes = rest.substr(4);
  } else if (rest.rfind("hex(", 0) == 0) {
    const size_t close = rest.find("):");
    if (close == std::string::npos) return false;
    char* end = nullptr;
    const std::string t = rest.substr(4, close - 4);
    v->type = static_cast<DWORD>(std::strtoul(t.c_str(), &end, 16));
    if (t.empty() || t.size() > 8 || *end) return false;
    bytes = rest.substr(close + 2);
  } else {
    return false;
  }
  std::stringstream ss(bytes);
  std::string item;
  while (std::getline(ss, item, ',')) {
    if (item.empty() || item.size() > 2) return false;
    char* end = nullptr;
    const unsigned long b = std::strtoul(item.c_str(), &end, 16);
    if (*end) return false;
    v->data.push_back(static_cast<uint8_t>(b));
  }
  return true;
}

void load(Store& s) {
  for (int r = 0; r < 7; ++r) {
    s.roots[r].reset();
    if (!ROOTNAMES[r]) continue;
    s.roots[r] = std::make_shared<Key>();
    s.roots[r]->name = ROOTNAMES[r];
    s.roots[r]->dynamic = r == 6;
  }
  s.handles.clear();
  s.dirty = false;
  s.loaded = true;
  if (s.path.empty()) s.path = configuredpath();
  if (!s.exithook) {
    s.exithook = true;
    std::atexit([] { winapi::registry::FlushAll(); });
  }

  std::string folder = std::filesystem::path(s.path).parent_path().string();
  if (folder.empty()) folder = ".";
  if (folder != s.swept) {
    winapi::RemoveStaleHostSaves(folder.c_str());
    s.swept = folder;
  }
  std::ifstream in(s.path, std::ios::binary);
  if (!in) return;
  std::string line;
  std::shared_ptr<Key> current;
  int number = 0, bad = 0, firstbad = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current.reset();
      // A NUL would cut the path short and file the values under a parent key.
      if (line.back() == ']' && line.find('\0') == std::string::npos) {
        const auto parts = components(line.substr(1, line.size() - 2).c_str());
        for (int r = 0; r < 7 && !parts.empty(); ++r) {
          if (ROOTNAMES[r] && r != 6 && samename(parts[0], ROOTNAMES[r])) {
            current = createpath(s.roots[r], std::vector<std::string>(parts.begin() + 1, parts.end()), nullptr);
          }
        }
      }
      if (!current && ++bad == 1) firstbad = number;
      continue;
    }
    Value v;
    if (!current || !parsevalue(line, &v)) {
      if (++bad == 1) firstbad = number;
      continue;
    }
    if (Value* old = current->find(v.name)) *old = std::move(v);
    else current->values.push_back(std::move(v));
  }
  if (bad) {
    const std::string keep = s.path + ".bad";
    std::error_code ec;
    std::filesystem::copy_file(s.path, keep, std::filesystem::copy_options::overwrite_existing, ec);
    std::fprintf(stderr, "registry: %d line(s) of %s not understood (first: line %d); a copy is kept in %s\n", bad,
                 s.path.c_str(), firstbad, keep.c_str());
  }
}

void ensureloaded(Store& s) {
  if (!s.loaded) load(s);
}

// Writes the whole tree; false (and still dirty) when the file could not be written.
bool save(Store& s) {
  if (!s.loaded || !s.dirty) return true;
  const std::string text = render(s);
  std::error_code ec;
  const std::filesystem::path target(s.path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  if (winapi::SaveHostFileWhole(s.path.c_str(), text.data(), text.size()) != 0) return false;
  s.dirty = false;
  return true;
}

int rootindex(HKEY key) {
  const auto v = reinterpret_cast<uintptr_t>(key);
  if (v >= 0x80000000u && v <= 0x80000006u && ROOTNAMES[v - 0x80000000u]) return static_cast<int>(v - 0x80000000u);
  return -1;
}

// The key behind a handle; null for handles that are not open.
std::shared_ptr<Key> resolve(Store& s, HKEY key) {
  const int r = rootindex(key);
  if (r >= 0) return s.roots[r];
  auto it = s.handles.find(reinterpret_cast<uintptr_t>(key));
  return it == s.handles.end() ? nullptr : it->second;
}

HKEY newhandle(Store& s, const std::shared_ptr<Key>& k) {
  const uintptr_t h = s.nexthandle;
  s.nexthandle += 4;
  s.handles[h] = k;
  return reinterpret_cast<HKEY>(h);
}

// Key names are written bare, one key to a line: no control characters, no more than 255 characters.
bool validnames(const std::vector<std::string>& parts) {
  for (const auto& p : parts) {
    if (p.size() > MAXKEYNAME) return false;
    for (char c : p)
      if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

// Locks the store, loads it on first use and finds the key behind a handle; `status` tells whether the key
// can be used.
struct Access {
  explicit Access(HKEY key) : s(store()), lock(s.mutex) {
    ensureloaded(s);
    k = resolve(s, key);
    status = !k ? ERROR_INVALID_HANDLE : k->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
  }
  Store& s;
  std::lock_guard<std::mutex> lock;
  std::shared_ptr<Key> k;
  LONG status;
};

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Access a(key);
  if (a.status != ERROR_SUCCESS) return a.status;
  Store& s = a.s;
  const auto& base = a.k;
  const auto parts = components(subKey);
  if (!validnames(parts)) return ERROR_INVALID_PARAMETER;
  if (base->dynamic && !parts.empty()) return ERROR_ACCESS_DENIED;
  bool created = false;
  const auto k = createpath(base, parts, &created);
  if (!k) return ERROR_INVALID_PARAMETER;
  if (created) s.dirty = true;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = newhandle(s, k);
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Access a(key);
  if (a.status != ERROR_SUCCESS) return a.status;
  auto k = a.k;
  for (const std::string& part : components(subKey)) {
    auto it = k->children.find(lowered(part));
    if (it == k->children.end()) return ERROR_FILE_NOT_FOUND;
    k = it->second;
  }
  *result = newhandle(a.s, k);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  Access a(key);
  if (a.status != ERROR_SUCCESS) return a.status;
  const auto& k = a.k;
  const Value* v = k->find(valueName ? valueName : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  const auto needed = static_cast<DWORD>(v->data.size());
  if (!dataSize) return ERROR_SUCCESS;
  if (data) {
    if (*dataSize < needed) {
      *dataSize = needed;
      return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, v->data.data(), needed);
  }
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  Access a(key);
  if (a.status != ERROR_SUCCESS) return a.status;
  const auto& k = a.k;
  if (k->dynamic) return ERROR_ACCESS_DENIED;
  const std::string name = valueName ? valueName : "";
  Value* v = k->find(name);
  if (!v) {
    k->values.push_back({name, type, {}});
    v = &k->values.back();
  }
  v->type = type;
  v->data.assign(data, data + dataSize);
  a.s.dirty = true;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
  Access a(key);
  if (a.status != ERROR_SUCCESS) return a.status;
  const auto& k = a.k;
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (samename(it->name, valueName ? valueName : "")) {
      k->values.erase(it);
      a.s.dirty = true;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

namespace {
void markdeleted(Key& top) {
  std::vector<Key*> pending{&top};
  while (!pending.empty()) {
    Key* k = pending.back();
    pending.pop_back();
    k->deleted = true;
    for (auto& [low, child] : k->children) pending.push_back(child.get());
  }
}
}  // namespace

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  Access a(key);
  if (a.status != ERROR_SUCCESS) return a.status;
  auto k = a.k;
  const auto parts = components(subKey);
  if (parts.empty()) return ERROR_INVALID_PARAMETER;  // a key is deleted from its parent
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    auto it = k->children.find(lowered(parts[i]));
    if (it == k->children.end()) return ERROR_FILE_NOT_FOUND;
    k = it->second;
  }
  auto it = k->children.find(lowered(parts.back()));
  if (it == k->children.end()) return ERROR_FILE_NOT_FOUND;
  markdeleted(*it->second);
  k->children.erase(it);
  a.s.dirty = true;
  return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  ensureloaded(s);
  if (!resolve(s, key)) return ERROR_INVALID_HANDLE;
  return save(s) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG RegCloseKey(HKEY key) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  ensureloaded(s);
  if (rootindex(key) >= 0) return ERROR_SUCCESS;
  if (s.handles.erase(reinterpret_cast<uintptr_t>(key)) == 0) return ERROR_INVALID_HANDLE;
  save(s);  // a failure leaves the changes pending for the next flush
  return ERROR_SUCCESS;
}

namespace winapi::registry {

void UseFile(const std::string& path) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  save(s);
  s.loaded = false;
  s.handles.clear();
  for (auto& root : s.roots) root.reset();  // read afresh at the next use
  s.path = path;
}

std::string FilePath() {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.path.empty() ? configuredpath() : s.path;
}

bool FlushAll() {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  return save(s);
}

std::string Rendered() {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  ensureloaded(s);
  return render(s);
}

}  // namespace winapi::registry
