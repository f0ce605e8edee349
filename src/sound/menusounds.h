// The front end's sounds: nine click sounds, the menu ambience (a driving range) and the clubhouse ambience
// of the network screens.
#pragma once

class TSoundADV;

void LoadClickSounds();
void FreeClickSounds();
TSoundADV* GetMenuSound(int index);  // 0..8; null when not made

void LoadMenuSounds();
void LoadClubhouseSounds();
void StopMenuSoundSet();
void StopClubhouseSoundSet();
void FadeMenuAmbient();  // both sets
void FadeMenuSounds();   // the menu set's sounds fade, the set stays running
void FreeMenuSoundSets();  // at shut-down
bool MenuSoundsRunning();
bool ClubhouseSoundsRunning();
TSoundADV* MenuAmbientLoop();
