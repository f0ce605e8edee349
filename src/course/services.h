#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the course subsystem uses of the framework, until the framework provides it: archive-or-disk
// file reading with one saved level of current archive, the 3D-hardware flag, the busy pointer, the
// dialog-suppression flag and the modal message box.
namespace course_svc {

bool Has3DHardware();
void Set3DHardware(bool on);

void MouseSetBusy(bool on);
bool MouseIsBusy();

// While set, modal message boxes are not shown.
extern bool DialogsSuppressed;

// Shows a modal message with one OK button; returns the button chosen (1). Tests replace the shower.
int ShowMessageDialog(const std::string& text);
using MessageShower = std::function<int(const std::string&)>;
void SetMessageShower(MessageShower shower);

}  // namespace course_svc
