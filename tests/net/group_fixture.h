// Peer objects of one group in one process, each with an inbox thread for its game data, and waits for
// their notifications.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "net/sockcomm.h"
#include "net_fixture.h"

namespace nettest {

struct Data {
  UINT message;
  uint32_t sender;
  std::vector<uint8_t> bytes;  // the data after sender and length
};

// A thread that takes the game data posted to it.
class Inbox {
 public:
  Inbox() {
    thread_ = CreateThread(nullptr, 0, &Inbox::Run, this, 0, &id_);
    WaitUntil([&] { return running_.load(); });
  }
  ~Inbox() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  DWORD id() const { return id_; }
  std::vector<Data> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_.size();
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    data_.clear();
  }

 private:
  static DWORD WINAPI Run(LPVOID self) {
    auto* inbox = static_cast<Inbox*>(self);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    inbox->running_ = true;
    while (!inbox->stop_) {
      while (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) {
        auto* buffer = reinterpret_cast<uint8_t*>(msg.lParam);
        const uint32_t n = ReadLE32(buffer + 4);
        std::lock_guard<std::mutex> lock(inbox->mutex_);
        inbox->data_.push_back({msg.message, ReadLE32(buffer), std::vector<uint8_t>(buffer + 8, buffer + 8 + n)});
        CommMessageFree(buffer);
      }
      // Real time: a test on the virtual clock moves it itself.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE))
      CommMessageFree(reinterpret_cast<uint8_t*>(msg.lParam));
    return 0;
  }
  HANDLE thread_ = nullptr;
  DWORD id_ = 0;
  std::atomic<bool> running_{false}, stop_{false};
  std::mutex mutex_;
  std::vector<Data> data_;
};

struct Note {
  uint32_t code;
  uintptr_t value;
};

// One machine of the group.
struct Peer {
  explicit Peer(const char* name) : comm(std::make_unique<net::CSockComm>(winsock::AF_INET, 1)) {
    comm->SetNotifyThreadId(inbox.id());
    comm->SetLocalGolfer(name);
  }
  ~Peer() {
    comm.reset();
    for (Note& n : notes) Free(n);
  }
  static void Free(Note& n) {
    switch (n.code) {
      case net::kNotifyPlayerJoined: case net::kNotifyPlayerLeft: case net::kNotifyGolferList:
      case net::kNotifyGolferAdded: case net::kNotifyGolferRemoved: case net::kNotifyChatText:
        CommMessageFree(reinterpret_cast<uint8_t*>(n.value));
        n.value = 0;
        break;
      default:
        break;
    }
  }
  void Drain() {
    uint32_t code, length;
    uintptr_t value;
    while (comm->TakeNotification(&code, &value, &length)) notes.push_back({code, value});
  }
  // The first notification of `code` not seen before; null when none came in time.
  const Note* Wait(uint32_t code, size_t nth = 0) {
    const Note* found = nullptr;
    WaitUntil([&] {
      Drain();
      size_t seen = 0;
      for (const Note& n : notes)
        if (n.code == code && seen++ == nth) {
          found = &n;
          return true;
        }
      return false;
    });
    return found;
  }
  size_t Count(uint32_t code) {
    Drain();
    size_t k = 0;
    for (const Note& n : notes) k += n.code == code;
    return k;
  }
  Inbox inbox;
  std::unique_ptr<net::CSockComm> comm;
  std::vector<Note> notes;
};

class GroupTest : public NetTest {
 protected:
  // The host and `joiners` machines that joined it in order (ids 2, 3, ...).
  void Form(int joiners) {
    peers.push_back(std::make_unique<Peer>("Host"));
    ASSERT_EQ(peers[0]->comm->StartHost(hostAddress), 1);
    for (int i = 0; i < joiners; ++i) {
      const std::string name = "Joiner" + std::to_string(i + 2);
      peers.push_back(std::make_unique<Peer>(name.c_str()));
      ASSERT_EQ(peers.back()->comm->JoinHost(hostAddress), 1);
      ASSERT_NE(peers[0]->Wait(net::kNotifyPlayerJoined, static_cast<size_t>(i)), nullptr);
      ASSERT_TRUE(WaitUntil([&] { return peers.back()->comm->joined(); }));
      ASSERT_EQ(peers.back()->comm->GetLocalId(), static_cast<uint32_t>(i + 2));
    }
  }
  void TearDown() override {
    peers.clear();
    NetTest::TearDown();
  }
  net::CSockComm& comm(int i) { return *peers[static_cast<size_t>(i)]->comm; }
  uint8_t hostAddress[16] = {};
  std::vector<std::unique_ptr<Peer>> peers;
};

}  // namespace nettest
