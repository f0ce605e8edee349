// The hole panel in the top-left corner of the round: the hole label, par and shot label, the current golfer's
// picture on its plate, one line per golfer with the name (a "*" when the golfer receives a stroke on the hole)
// and the score text, and a badge while the golfer plays a safe or aggressive charge.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"
#include "framework/ui/eventhandler.h"

class CHoleNumParGfx : public MA_EventHandler {
 public:
  CHoleNumParGfx();
  ~CHoleNumParGfx() override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  void RefreshNames();
  void RefreshNamesAndScores();
  void RefreshScores();
  void RefreshHoleLabel();
  void RefreshParText();
  void RefreshShotLabel();
  void RefreshShotAndScores();
  // The pictures of every golfer taking part (variant 1); loading stops at the first that does not load.
  void LoadGolferPictures();
  // Picture `variant` (1..3) of the golfer in a slot again.
  void LoadGolferPicture(int slot, int variant = 1);
  // The charge badge of a slot: 0 none, 1 safe, 2 aggressive.
  void SetCharge(int slot, int style);
  // How far right the panel reaches: its art, and the texts as last drawn.
  int32_t RightEdge() const;
  bool HasGolferPicture(int slot) const { return slot >= 0 && slot < 4 && pictures_[slot].file; }

  // The picture file of a golfer model: "senior.fsh" (19-25), "sbea.fsh" (below 4), else the first two
  // letters of the model's name in capitals with "01.fsh" (or the variant's number).
  static std::string GolferPictureName(uint32_t model, int variant = 1);

  uint16_t golfers = 0;  // golfers taking part, at construction
  std::string names[4], scores[4];
  std::string holeLabel, parText, shotLabel;
  int32_t charge[4] = {};
  MemHandle font = 0;
  int32_t fontError = 0;  // the panel font did not load (error 7 was shown)

 private:
  struct Piece {
    MemHandle file = 0;
    const uint8_t* frame = nullptr;
  };
  void LoadPiece(Piece* piece, PathRecord* folder, const char* name);
  static void FreePiece(Piece* piece);
  Piece background_, top_, charge_, pictures_[4];
};

// The panel of the round (null when none is made).
extern CHoleNumParGfx* HolePanel;
CHoleNumParGfx* CreateHolePanel();
