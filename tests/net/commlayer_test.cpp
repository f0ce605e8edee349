#include <dirent.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "framework/core/services.h"
#include "group_fixture.h"
#include "net/commlayer.h"
#include "net/internetsess.h"
#include "net/install.h"
#include "net/sessmgr.h"
#include "winapi_registry.h"

using namespace nettest;

namespace {

int Threads() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

TEST(CommLayer, TypesWithoutTheirObjectsFailAndLeaveNothing) {
  // A registry of this test's own: no modem line device is chosen there, so the modem types cannot start.
  const std::string registry = (std::filesystem::temp_directory_path() /
                                ("commlayer_registry_" + std::to_string(getpid()) + ".txt")).string();
  winapi::registry::UseFile(registry);
  for (int type : {5, 3, 4}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(net::CreateCommLayer(type), 0);
    EXPECT_EQ(net::CommObject, nullptr);
    EXPECT_EQ(net::RoundComm, nullptr);
    EXPECT_EQ(net::SessionManager, nullptr);
  }
  winapi::registry::UseFile("");
  std::filesystem::remove(registry);
}

TEST(CommLayer, ALanLayerComesUpAndGoesWithoutLeavingAThreadOrASocket) {
  const int before = Threads();
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    ASSERT_EQ(net::CreateCommLayer(type), 1);
    EXPECT_EQ(net::GetCommType(), type);
    ASSERT_NE(net::CommObject, nullptr);
    EXPECT_NE(net::SessionManager, nullptr);
    EXPECT_NE(CommThreadId.load(), 0u);
    uint32_t code = 0, length = 0;
    uintptr_t value = 0;
    ASSERT_EQ(net::GetNextCommMessage(&code, &value, &length), 1);
    EXPECT_EQ(code, net::kNotifySessionStatus);
    EXPECT_EQ(value, 0u);
    auto* comm = static_cast<net::CSockComm*>(net::CommObject);
    uint8_t address[16];
    comm->StartHost(address);
    comm->BeginGame();  // the lobby goes when the round begins
    EXPECT_EQ(net::SessionManager, nullptr);
    net::DestroyCommLayer();
    EXPECT_EQ(net::CommObject, nullptr);
    EXPECT_EQ(winapi::winsock::OpenSocketCount(), 0);
    EXPECT_EQ(CommThreadId.load(), 0u);
    EXPECT_EQ(net::GetNextCommMessage(&code, &value, &length), 0);
  }
  // The socket window's and the comm thread are gone (the stand-in's own watcher thread stays).
  EXPECT_TRUE(WaitUntil([&] { return Threads() <= before + 1; })) << Threads() << " threads, " << before << " before";
}

// The online type comes up with its lobby; a server that cannot be reached is told as a failed connection.
TEST(CommLayer, TheOnlineLayerComesUpAndTellsWhenItsServerCannotBeReached) {
  // Nothing listens where the server's port is sent.
  ASSERT_TRUE(net::SetGameServerHost("127.0.0.1"));
  winapi::winsock::MapPort(net::kGameServerPort, 1);
  ASSERT_EQ(net::CreateCommLayer(0), 1);
  EXPECT_EQ(net::GetCommType(), 0);
  EXPECT_NE(net::SessionManager, nullptr);
  uint32_t code = 0, length = 0;
  uintptr_t value = 0;
  ASSERT_TRUE(WaitUntil([&] { return net::GetNextCommMessage(&code, &value, &length) == 1; }));
  EXPECT_EQ(code, net::kNotifySessionStatus);
  EXPECT_EQ(value, 1u);
  net::DestroyCommLayer();
  EXPECT_EQ(net::CommObject, nullptr);
  EXPECT_EQ(winapi::winsock::OpenSocketCount(), 0);
  net::SetGameServerHost("");
  winapi::winsock::MapPort(net::kGameServerPort, 0);
}

TEST(CommLayer, TheNetworkProviderReachesTheCommLayer) {
  Services saved = Svc();
  InstallNetworkServices();
  EXPECT_STREQ(Svc().network->Name(), "net");
  EXPECT_EQ(Svc().network->CommType(), -1);
  ASSERT_EQ(net::CreateCommLayer(1), 1);
  EXPECT_EQ(Svc().network->CommType(), 1);
  Svc().network->CloseComm();
  EXPECT_EQ(net::CommObject, nullptr);
  InstallServices(saved);
}

}  // namespace
