#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "course/vector3.h"
#include "windows.h"

// Golf messages: window message 0x700 to the main window, the golf id in wParam and its argument in lParam.
// The same ids are the packet types between machines.
constexpr UINT kGolfWindowMessage = 0x700;

enum GolfId : uint32_t {
  kGolfEndRequest = 0x701,
  kGolfLeave = 0x702,
  kGolfChat = 0x703,
  kGolfHoleStart = 0x705,
  kGolfPlayersSetUp = 0x706,
  kGolfLoadHole = 0x707,
  kGolfShotSetUp = 0x708,
  kGolfLoadFailed = 0x709,
  kGolfBeforeShot = 0x70a,
  kGolfShowGolfer = 0x70b,
  kGolfReady = 0x70c,
  kGolfShotBegins = 0x70d,
  kGolfQuit = 0x70e,
  kGolfRemoteSettings = 0x70f,
  kGolfStatusLine = 0x710,
  kGolfRemoteReplay = 0x711,
  kGolfShotFinished = 0x712,
  kGolfNextShot = 0x713,
  kGolfRoundOver = 0x714,
  kGolfEndGame = 0x715,
  kGolfAck = 0x716,
  kGolfPassBlock = 0x717,
  kGolfPosition = 0x718,
  kGolfBallStopped = 0x71c,
  kGolfRemoteSetUp = 0x71d,
  kGolfRemoteBall = 0x71e,
  kGolfRemoteRest = 0x71f,
  kGolfRemoteResult = 0x720,
  kGolfSendPosition = 0x721,
  kGolfClockViolation = 0x722,
  kGolfAfterStatus = 0x723,
  kGolfContinue = 0x724,
  kGolfShootoffStart = 0x725,
  kGolfShootoffSpot = 0x726,
  kGolfShootoffAcked = 0x727,
  kGolfShootoffReady = 0x728,
  kGolfSeed = 0x729,
  kGolfDropped = 0x72a,
  kGolfLeaveHole = 0x72b,
  kGolfPassPoll = 0x72d,
  kGolfPollAnswer = 0x72e,
  kGolfConceded = 0x730,
};

// Window timers of the handshake on the main window.
constexpr UINT_PTR kHandshakeTimerId = 0x717;
constexpr UINT_PTR kPollTimerId = 0x72d;

// Set by the communication layer when a link is made.
struct HandshakeSettings {
  uint32_t periodMs = 3000;
  uint32_t retryLimit = 30;
  uint32_t pollPeriodMs = 15000;
  uint32_t pollLimit = 6;
};
extern HandshakeSettings GolfHandshake;

// The handler's state (one for the program).
struct GolfHandlerState {
  uint32_t status = 0;          // the last state message handled
  uint32_t awaited = 0;         // the step the other machines must acknowledge
  uint32_t allAcknowledged = 1;
  UINT_PTR handshakeTimer = 0;
  UINT_PTR pollTimer = 0;
  uint32_t pollCount = 0;
  uint32_t polling = 0;
  uint32_t handshakesStopped = 0;
  uint32_t endGuard = 0;
  uint32_t busy = 0;
  uint32_t dropMarker = 0;
  uint32_t shotInProgress = 0;
  uint32_t firstShotOfGame = 1;  // the hole status is shown before the first hole of a new game
  uint32_t replacingGame = 0;    // the mode factory is replacing the game
};
extern GolfHandlerState GolfState;
uint32_t GetGolfStatus();
void ResetGolfHandler();

// The window that receives golf messages and carries the timers.
extern HWND GolfMainWindow;
void PostGolfMessage(uint32_t id, intptr_t argument = 0);
// Sends a golf message to the current game at once.
void SendGolfMessage(uint32_t id, intptr_t argument = 0);

// Argument blocks: allocated by the sender, freed by the handler.
void* GolfBlockAlloc(size_t bytes);
void GolfBlockFree(void* block);
// Blocks carry their own length so that a short block is never read past its end. Only live blocks are read
// or freed: any other argument value counts as no block (size 0) and freeing it does nothing.
size_t GolfBlockSize(const void* block);
size_t GolfBlocksLive();
// The machine a block came from, 0 for a block made on this machine (or no block).
uint32_t GolfBlockSender(const void* block);
void GolfBlockSetSender(void* block, uint32_t sender);
// Whether the argument of a golf message is a block (freed by the handler).
bool GolfIdCarriesBlock(uint32_t id);

struct AckBlock {
  uint32_t golfer;  // the sender's golfer slot
  uint32_t status;
};
struct PositionBlock {
  uint32_t golfer;  // the sender's golfer slot
  Vector3 position;
  uint8_t holed;
};
intptr_t MakeAckBlock(uint32_t golfer, uint32_t status);
intptr_t MakePositionBlock(uint32_t golfer, const Vector3& position, uint8_t holed);
intptr_t MakeTextBlock(const std::string& text);

// The chat record a machine sends to the others after the message's code: the text (80 bytes) and the sender's
// name (16), each ending within its field. The line shown is "sender: text", cut to the chat box's 95 characters.
constexpr size_t kChatTextBytes = 80, kChatSenderBytes = 16, kChatRecordBytes = kChatTextBytes + kChatSenderBytes;
constexpr size_t kChatLineLimit = 95;
void WriteChatRecord(const std::string& text, const std::string& sender, uint8_t out[kChatRecordBytes]);
// The line of a received record, read within its bytes (a body without a sender is all text).
std::string ChatLineOf(const uint8_t* body, size_t bytes);

// A golfer's shot settings as they go to the other machines before the shot. A machine that does not send the
// wind speed (kNoWindSpeed) never gusts: its shots flew in the hole's steady wind.
constexpr uint8_t kNoWindSpeed = 0xFF;
constexpr uint8_t kMaxWindSpeed = 30;  // mph, the strongest gust
struct ShotSetUpBlock {
  uint32_t golfer = 0;
  uint8_t wind = 0, fairway = 1, green = 1;
  uint8_t club = 0;
  uint32_t shotType = 0;
  Vector3 position{}, direction{}, spin{};
  float power = 0.0f, curve = 0.0f, trajectory = 0.0f;
  Vector3 aim{};
  uint8_t windSpeed = kNoWindSpeed;  // the wind the shot flew in (mph)
};

// The argument of a golf message from another machine, made on the thread that receives it from the body that
// followed its id in the peer's message (`sender` is the peer's machine id). It is a block that remembers its
// sender, so the round decides on its own thread whether to take it (AdmitPeerMessage, peermsg.h). Records are
// read field by field, little-endian: an acknowledgement is the acknowledged status, for the sender's golfer; a
// position is golfer, x, y, z, holed byte; shot settings are `ShotSetUpBlock`'s fields in order (floats as IEEE
// bits); chat is text; other block-carrying ids get a copy of the body. Ids without a block carry their plain
// value (a seed, the slot a drop names, a shot-clock violation's golfer) in the block until they are admitted.
// kPeerArgumentRefused when the body is too short for its record or a number in it is not finite or out of range.
constexpr intptr_t kPeerArgumentRefused = -1;
intptr_t GolfArgumentFromPeer(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes);
// Numbers from another machine: finite, coordinates within reach of any hole (a grid is at most 8,192 steps a
// side, its heights 16.16 fixed point) and shot settings within their ranges.
constexpr float kPeerCourseReach = 65536.0f;
bool PeerPointOnCourse(const Vector3& v);
bool PeerShotSetUpInRange(const ShotSetUpBlock& b);
// Shot settings as they go to the other machines (73 bytes: the wind speed last), read back by
// GolfArgumentFromPeer, which also takes the 72 bytes without the wind speed that earlier machines send.
constexpr size_t kShotSetUpWireBytes = 73;
constexpr size_t kShotSetUpWireBytesWithoutWind = 72;
void WriteShotSetUp(const ShotSetUpBlock& b, uint8_t out[kShotSetUpWireBytes]);
