// The five entries through which the message loop hands idle passes, pointer buttons and keys to the current
// in-round handler list; typing goes to the chat box while it edits, and a press ends the self-running demo.
#pragma once

#include <cstdint>

void InRoundOnIdle();
void InRoundOnButtonDown(int16_t x, int16_t y, uint8_t button);
void InRoundOnButtonUp(int16_t x, int16_t y, uint8_t button);
void InRoundOnCommand(uint16_t code);
void InRoundOnKeyUp(uint16_t code);
// The code a key release is handed on as: navigation keys as their key-press codes, letters in lower case.
uint16_t TranslateKeyUp(uint16_t code);
