// The sound bits as the dialogs show and write them, and the round's sound options dialog.
#include "course/preferences.h"
#include "framework/core/services.h"
#include "framework/ui/mousepointer.h"
#include "frontend/settingsdlg.h"
#include "golf/game.h"

void LoadSoundRows(CDialogSelectTxtBtn* sounds, CDialogSelectTxtBtn* music, CDialogSelectTxtBtn* menuSound,
                   CDialogSelectTxtBtn* commentary) {
  const uint8_t bits = SoundSettings();
  sounds->SetIndex(bits & kSoundAll ? 0 : 1);
  music->SetIndex(bits & kSoundMusic ? 0 : 1);
  menuSound->SetIndex(bits & kSoundMenu ? 0 : 1);
  commentary->SetIndex(bits & kSoundCommentary ? 0 : 1);
}

void HidePointerWhile(void (*step)(void*), void* data) {
  MouseHide();
  step(data);
  MouseShow();
}

// ---- sound bits ---------------------------------------------------------------------------------------------------

void ApplySoundRows(int sounds, int music, int menuSound, int commentary, bool mainMenu) {
  uint8_t& bits = SoundSettings();
  SoundProvider& sound = *Svc().sound;
  // The main menu's Options leaves the game's own music disc to the menu-sound bit.
  const int disc = mainMenu ? sound.CheckMusicDisc(0) : 0;
  if (sounds == 0) {
    bits |= kSoundAll;
    sound.ReloadSounds();
    sound.StartMenuSounds();
  } else {
    sound.FadeMenuSounds();
    sound.StopSound();
    bits &= static_cast<uint8_t>(~kSoundAll);
  }
  if (menuSound == 0) {
    bits |= kSoundMenu;
    sound.StartMenuSounds();
    if (mainMenu) sound.RefreshMusic();
  } else {
    sound.FadeMenuSounds();
    bits &= static_cast<uint8_t>(~kSoundMenu);
    if (mainMenu && disc) sound.StopMusic();
  }
  if (music == 0) {
    bits |= kSoundMusic;
    sound.RefreshMusic();
  } else {
    // A player's own audio CD stops at once.
    if (!disc) sound.StopMusic();
    bits &= static_cast<uint8_t>(~kSoundMusic);
  }
  if (commentary == 0) bits |= kSoundCommentary;
  else bits &= static_cast<uint8_t>(~kSoundCommentary);
}

// ---- Sound options ----------------------------------------------------------------------------------------------

CSoundDialog::CSoundDialog() : SettingsPanel("Sound options") {
  const double scale = width / 522.0;
  AddSettingsButton(this, "Ok", x + static_cast<int32_t>(470 * scale), y + static_cast<int32_t>(290 * scale), 1, 1, OnClick);
  AddSettingsButton(this, "Cancel", x + static_cast<int32_t>(400 * scale), y + static_cast<int32_t>(290 * scale), 0, 2, OnClick);
  const bool disc = Svc().sound->CheckMusicDisc(1) != 0;
  const int32_t rowX = x + width / 2 + 20;
  const auto rowY = [&](int v) { return y + static_cast<int32_t>(v * scale); };
  rows[kSounds] = AddSettingsRow(this, rowX, rowY(70), {"Sounds:", "On", "Off"}, kSounds, nullptr, nullptr);
  rows[kMusic] = AddSettingsRow(this, rowX, rowY(95), MusicChoices(disc), kMusic, nullptr, nullptr);
  rows[kMenuSound] = AddSettingsRow(this, rowX, rowY(120), {"Menu sound:", "On", "Off"}, kMenuSound, nullptr, nullptr);
  rows[kCommentary] = AddSettingsRow(this, rowX, rowY(145), {"Commentary:", "On", "Off"}, kCommentary, nullptr, nullptr);
  LoadSoundRows(rows[kSounds], rows[kMusic], rows[kMenuSound], rows[kCommentary]);
  if (TGame* g = CurrentGame(); g && g->mode == kModeDrivingRange) ShowControl(rows[kCommentary], false);
}

void CSoundDialog::OnClick(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CSoundDialog>() : nullptr;
  if (!d) return;
  // Both buttons end the loop with 0; only Ok writes.
  if (control->id == 1)
    ApplySoundRows(d->rows[kSounds]->GetIndex(), d->rows[kMusic]->GetIndex(), d->rows[kMenuSound]->GetIndex(),
                   d->rows[kCommentary]->GetIndex(), false);
  d->EndModal(0);
}

int ShowSoundDialog() { return RunSettingsDialog<CSoundDialog>(); }

