// Sockets of the comm layer on real loopback sockets: recording message sockets, a listener and bounded waits.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/core/commqueue.h"
#include "net/msgsock.h"
#include "net/sockwindow.h"

namespace nettest {

// Polls `done` every millisecond for up to about five seconds of real time.
inline bool WaitUntil(const std::function<bool()>& done, int rounds = 5000) {
  for (int i = 0; i < rounds; ++i) {
    if (done()) return true;
    Sleep(1);
  }
  return done();
}

struct Frame {
  uint32_t type;
  std::vector<uint8_t> body;
};

class RecordingMsgSock : public net::CMsgSock {
 public:
  void OnMessage(uint32_t type, uint8_t* body, uint32_t length) override {
    std::lock_guard<std::mutex> lock(mutex);
    frames.push_back({type, std::vector<uint8_t>(body, body + length)});
    CommMessageFree(body);
  }
  void OnConnect(int error) override {
    CMsgSock::OnConnect(error);
    std::lock_guard<std::mutex> lock(mutex);
    connectErrors.push_back(error);
  }
  void OnClose(int error) override {
    {
      std::lock_guard<std::mutex> lock(mutex);
      closeErrors.push_back(error);
    }
    Close();
  }
  size_t FrameCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames.size();
  }
  size_t CloseCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return closeErrors.size();
  }
  size_t ConnectCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return connectErrors.size();
  }
  std::mutex mutex;
  std::vector<Frame> frames;
  std::vector<int> connectErrors, closeErrors;
};

class Listener : public net::CStreamSock {
 public:
  void OnAccept(int error) override {
    if (error) return;
    auto* s = new RecordingMsgSock;
    if (!Accept(s, nullptr)) {
      s->Release();
      return;
    }
    std::lock_guard<std::mutex> lock(mutex);
    accepted.push_back(s);
  }
  RecordingMsgSock* Wait(size_t n) {
    WaitUntil([&] {
      std::lock_guard<std::mutex> lock(mutex);
      return accepted.size() > n;
    });
    std::lock_guard<std::mutex> lock(mutex);
    return accepted.size() > n ? accepted[n] : nullptr;
  }
  ~Listener() override {
    for (auto* s : accepted) s->Release();
  }
  std::mutex mutex;
  std::vector<RecordingMsgSock*> accepted;
};

class NetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(net::StartSocketWindow(), 1); }
  void TearDown() override {
    EXPECT_EQ(net::StopSocketWindow(), 1);
    EXPECT_EQ(winapi::winsock::OpenSocketCount(), 0);
  }
  // A listener on a port the system picks; its IPv4 address record in `address`.
  Listener* Listen(winsock::sockaddr_in* address) {
    auto* l = new Listener;
    EXPECT_EQ(l->CreateStream(winsock::AF_INET, 0), 1);
    winsock::sockaddr_in any{};
    any.sin_family = winsock::AF_INET;
    EXPECT_EQ(l->Bind(&any), 1);
    EXPECT_EQ(l->Listen(5), 1);
    EXPECT_EQ(l->GetLocalAddress(address), 1);
    return l;
  }
};

}  // namespace nettest
