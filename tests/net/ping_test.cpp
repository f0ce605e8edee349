#include <gtest/gtest.h>

#include "framework/core/registry.h"
#include "net/sockwindow.h"

namespace {

// Registry values of the section Network, written before each case and removed after.
struct PingSettings {
  int64_t interval = -1, count = -1;  // -1: absent
  const char* address = nullptr;
};

void Write(const PingSettings& s) {
  RegistryMgr network("Network", true);
  ASSERT_TRUE(network.IsOpen());
  if (s.interval >= 0) network.WriteValue("PingInterval", static_cast<DWORD>(s.interval));
  if (s.count >= 0) network.WriteValue("PingCount", static_cast<DWORD>(s.count));
  if (s.address) network.WriteValue("PingAddress", s.address);
}

void Clear() {
  HKEY key;
  const std::string path = std::string(kProductKey) + "\\Network";
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "PingInterval");
    RegDeleteValueA(key, "PingCount");
    RegDeleteValueA(key, "PingAddress");
    RegCloseKey(key);
  }
}

TEST(Ping, RegistrySettingsAreTakenOnlyWithinTheirRanges) {
  const uint32_t target = 0x0200007fu;  // 127.0.0.2 as it lies in an address record
  const struct {
    const char* what;
    PingSettings settings;
    bool runs;
    uint32_t interval, count;
    bool fixed;
  } cases[] = {
      {"defaults", {}, true, 300000, 1, false},
      {"interval 0: no ping", {0, -1, nullptr}, false, 0, 0, false},
      {"interval 500 is too short", {500, -1, nullptr}, true, 300000, 1, false},
      {"interval 4000000 is too long", {4000000, -1, nullptr}, true, 300000, 1, false},
      {"interval and count taken", {1000, 10, nullptr}, true, 1000, 10, false},
      {"count 11 is too many", {-1, 11, nullptr}, true, 300000, 1, false},
      {"an address that is not dotted", {-1, -1, "golf.example"}, true, 300000, 1, false},
      {"a dotted address fixes the target", {-1, -1, "127.0.0.9"}, true, 300000, 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Clear();
    Write(c.settings);
    net::StartPing(target);
    EXPECT_EQ(net::PingRunning(), c.runs);
    if (c.runs) {
      EXPECT_EQ(net::PingInterval(), c.interval);
      EXPECT_EQ(net::PingCount(), c.count);
      net::SetPingTarget(0x0300007fu);
      EXPECT_EQ(net::PingTarget(), c.fixed ? 0x0900007fu : 0x0300007fu);
    }
    net::StopPing();
    EXPECT_FALSE(net::PingRunning());
  }
  Clear();
}

}  // namespace
