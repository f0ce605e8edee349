// Input script files in parts. A line `await PATH` (no time) holds the rest of a script file: the lines after it
// play once those before it have and the file PATH exists, with their times counted from then, so that programs
// run side by side can be stepped by what they do rather than by guessed pauses. The rest of the format is
// `ParseInputScript`'s (testing.h).
#pragma once

#include <string>
#include <vector>

#include "winapi/testing.h"

namespace winapi::testing {
// A script's parts: the first with no file to wait for, then one for each `await` line.
struct ScriptPart {
  std::string await;
  std::vector<ScriptedEvent> events;
};
// False with the line and what is wrong in `error`. `ParseInputScript` refuses an `await` line.
bool ParseInputScriptParts(const std::string& text, std::vector<ScriptPart>* parts, std::string* error);
}  // namespace winapi::testing
