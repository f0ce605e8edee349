// The game's state as it is saved to a file or sent to the other machines of a network game.
#include <algorithm>
#include <iterator>
#include <new>
#include <vector>

#include "framework/core/bigfileio.h"
#include "framework/core/errors.h"
#include "framework/core/paths.h"
#include "golf/game.h"


namespace {

constexpr size_t kMaxText = 255;

// The game's fields, with texts of at most 255 bytes.
class Io : public golf_svc::FieldMover {
 public:
  using FieldMover::FieldMover;
  void text(std::string& t) { FieldMover::text(t, kMaxText); }
};

void moveState(Io& io, GameStateBlock& b) {
  for (uint16_t* w : {&b.lead, &b.firstHole, &b.holeCount, &b.word3, &b.teeSet, &b.round, &b.hole, &b.currentPlayer})
    io.u16(*w);
  io.u32(b.word8);
  for (auto& order : b.playOrder)
    for (uint16_t& o : order) io.u16(o);
  for (uint32_t& w : b.rest) io.u32(w);
}

struct Scalars {
  uint32_t roundRunning, gameOver, ending, networked, localPlayer, holeWord, secondWord, options, word40;
  uint32_t counters[4];
  std::string courseName, gameName;
};

void moveScalars(Io& io, Scalars& v) {
  for (uint32_t* w : {&v.roundRunning, &v.gameOver, &v.ending, &v.networked, &v.localPlayer, &v.holeWord,
                      &v.secondWord, &v.options, &v.word40})
    io.u32(*w);
  for (uint32_t& c : v.counters) io.u32(c);
  io.text(v.courseName);
  io.text(v.gameName);
}

}  // namespace

bool TGame::SaveToStream(SerialTarget* stream) const {
  const int mode = stream->file ? SERIAL_WRITEFILE : SERIAL_PUT;
  Io io(mode, stream);
  uint32_t format = stateFormat;
  uint16_t m = this->mode;
  io.u32(format);
  io.u16(m);
  GameStateBlock block = state;
  moveState(io, block);
  Scalars v{roundRunning, gameOver, ending, networked, localPlayer, holeWord, secondWord, options, word40,
            {playerCounters[0], playerCounters[1], playerCounters[2], playerCounters[3]}, courseName, gameName};
  moveScalars(io, v);
  for (int slot = 0; slot < TPlayerList::kSlots && io.ok(); ++slot) {
    TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
    TPlayer empty;
    TPlayer& golfer = p ? *p : empty;
    uint8_t computer = golfer.IsComputer() ? 1 : 0;
    io.u8(computer);
    io.u16(golfer.perHoleCounter);
    io.u32(golfer.carriedWord1);
    io.u32(golfer.carriedWord2);
    if (!io.ok()) break;
    // Written through a copy: the stored form is always the tagged one, the golfer keeps its flags.
    playerInfo_s record(golfer);
    record.flags |= kGolferTaggedForm;
    if (!record.Transfer(mode, mode, stream)) io.fail();
  }
  return io.ok();
}

bool TGame::LoadFromStream(SerialTarget* stream) {
  const int mode = stream->file ? SERIAL_READFILE : SERIAL_GET;
  Io io(mode, stream);
  GameStateBlock block;
  moveState(io, block);
  Scalars v{};
  moveScalars(io, v);
  std::unique_ptr<TPlayerList> list(new (std::nothrow) TPlayerList);
  if (!io.ok() || !list || !list->valid()) return false;
  for (int slot = 0; slot < TPlayerList::kSlots; ++slot) {
    uint8_t computer = 0;
    uint16_t perHole = 0;
    uint32_t carried1 = 0, carried2 = 0;
    io.u8(computer);
    io.u16(perHole);
    io.u32(carried1);
    io.u32(carried2);
    if (!io.ok() || computer > 1) return false;
    if (computer && list->SetComputer(slot, true) != kRecordOk) return false;
    TPlayer* p = list->GetPlayer(slot);
    p->Reset();
    bool ended = false;
    if (!p->Transfer(mode, mode, stream, &ended) || !ended || !(p->flags & kGolferTaggedForm)) return false;
    p->perHoleCounter = perHole;
    p->carriedWord1 = carried1;
    p->carriedWord2 = carried2;
  }
  if (block.currentPlayer >= TPlayerList::kSlots || v.localPlayer >= TPlayerList::kSlots) return false;
  for (const auto& order : block.playOrder)
    for (uint16_t o : order)
      if (o >= TPlayerList::kSlots) return false;

  const bool activeHere = players && players->SlotOf(ActiveGolferRecord) < TPlayerList::kSlots;
  state = block;
  roundRunning = v.roundRunning;
  gameOver = v.gameOver;
  ending = v.ending;
  networked = v.networked;
  localPlayer = v.localPlayer;
  holeWord = v.holeWord;
  secondWord = v.secondWord;
  options = v.options;
  word40 = v.word40;
  std::copy(std::begin(v.counters), std::end(v.counters), playerCounters);
  courseName = std::move(v.courseName);
  gameName = std::move(v.gameName);
  players = std::move(list);
  if (activeHere) players->Refresh(state.currentPlayer);
  return true;
}

bool TGame::SaveToFile(HANDLE f) const {
  SerialTarget s = SerialTarget::OverFile(f);
  return f && SaveToStream(&s);
}

bool TGame::LoadFromFile(HANDLE f) {
  SerialTarget s = SerialTarget::OverFile(f);
  return f && LoadFromStream(&s);
}

int LoadGameFromStream(SerialTarget* stream) {
  const int mode = stream->file ? SERIAL_READFILE : SERIAL_GET;
  Io io(mode, stream);
  uint32_t format = 0;
  uint16_t gameMode = 0;
  io.u32(format);
  if (!io.ok() || format != kGameStateFormat) return 5;
  io.u16(gameMode);
  if (!io.ok() || gameMode >= kModeCount || gameMode == kModeNone) return 2;
  // The stored game is read into a game of its own before it replaces the current one.
  std::unique_ptr<TGame> game = MakeGameObject(gameMode);
  if (!game || !game->LoadFromStream(stream)) return 2;
  ReplaceCurrentGame(std::move(game));
  return 0;
}

int LoadGameFile(PathRecord* folder, const char* name) {
  std::vector<uint8_t> bytes;
  if (folder == nullptr || !BigFileLoadBytes(folder, name, bytes)) return ERR_FILENOTFOUND;
  return LoadGameBytes(bytes.data(), bytes.size());
}

int SaveGameBytes(std::vector<uint8_t>& bytes) {
  TGame* game = CurrentGame();
  if (game == nullptr) return ERR_UNKNOWN;
  // The stored size follows the golfers' records; the buffer grows until the whole game fits.
  for (size_t room = 16384; room <= (size_t{1} << 24); room *= 2) {
    try {
      bytes.assign(room, 0);
    } catch (const std::bad_alloc&) {
      return ERR_MEMORYFULL;
    }
    SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
    if (game->SaveToStream(&s)) {
      bytes.resize(static_cast<size_t>(s.cursor - bytes.data()));
      return ERR_NONE;
    }
  }
  return ERR_WRITE;
}

int LoadGameBytes(const uint8_t* data, size_t size) {
  SerialTarget s = SerialTarget::OverMemory(data, size);
  return LoadGameFromStream(&s);
}

int SaveGameFile(PathRecord* folder, const char* name) {
  if (folder == nullptr) return ERR_UNKNOWN;
  std::vector<uint8_t> bytes;
  const int made = SaveGameBytes(bytes);
  return made != ERR_NONE ? made : FileSaveWhole(folder, name, bytes.data(), static_cast<DWORD>(bytes.size()));
}
