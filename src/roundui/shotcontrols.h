// The members of the shot set-up group and the in-round pop-ups they open.
#pragma once

class TShotUIManager;

// Creates the group's members in their order and adds them to it; 0 or an error code.
int CreateShotControlMembers(TShotUIManager* group);
// A pop-up of the shot controls (club or settings) is open.
bool PopupOpen();
// Enter while a pop-up is open: the pop-up's own action.
void EnterOnPopup();
