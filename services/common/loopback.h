// What the online service's servers share: a listener on 127.0.0.1 with a pipe that wakes the serving thread, and
// the run of a server program until it is told to stop.
#pragma once

#include <cstdint>
#include <thread>

namespace services {

// Listens on 127.0.0.1 at `port` (0: the system chooses) and makes the wake pipe. The port taken; 0 on failure,
// with nothing left open.
uint16_t ListenLoopback(uint16_t port, int backlog, int* listener, int wake[2]);
// Wakes the serving thread through the pipe, joins it and closes what ListenLoopback opened.
void StopListening(std::thread& serving, int* listener, int wake[2]);
// Tells the port taken ("port N" on standard output) and waits for SIGINT or SIGTERM; 1 with a message when
// nothing could be listened on.
int AnnounceAndWait(const char* program, long port, uint16_t taken);

}  // namespace services
