#include "framework/ui/eventhandler.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "windows.h"

namespace {

void WholeScreen(MA_EventHandler* element) {
  element->left = 0;
  element->top = 0;
  element->right = Facts().screenWidth;
  element->bottom = Facts().screenHeight;
}

void ReleaseSlot(void* slot) {
  MA_EventHandler* element = nullptr;
  std::memcpy(&element, slot, sizeof element);
  ReleaseHandler(element);
}

}  // namespace

uint16_t SpecialKeyCode(uint32_t virtualKey, bool alt) {
  if (virtualKey > 0xFF) return 0;
  if (alt) return static_cast<uint16_t>(kKeyAlt + virtualKey);
  // Keys that type a character reach the elements as that character.
  const bool typesCharacter = virtualKey == VK_BACK || virtualKey == VK_TAB || virtualKey == VK_RETURN ||
                              virtualKey == VK_ESCAPE || virtualKey == VK_SPACE ||
                              (virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z') ||
                              (virtualKey >= 0x60 && virtualKey <= 0x6F) || virtualKey >= 0xBA;
  return typesCharacter ? 0 : static_cast<uint16_t>(kKeySpecial + virtualKey);
}

// ---- element ------------------------------------------------------------------------------------------------

// Every field is set, so that an element made with plain new behaves like one from the zeroing allocator.
MA_EventHandler::MA_EventHandler()
    : left(0), top(0), right(0), bottom(0), flags(0), id(0), kind(0), codes{}, spareCode(0), data(0), refCount(0),
      userWord(0) {
  WholeScreen(this);
}

MA_EventHandler::MA_EventHandler(uint32_t flags_, uint16_t id_, uint16_t kind_, uint16_t firstCode, uint32_t data_)
    : MA_EventHandler() {
  flags = flags_;
  id = id_;
  kind = kind_;
  codes[0] = firstCode;
  data = data_;
}

int MA_EventHandler::OnPointerDown(int16_t, int16_t, uint8_t) { return 0; }
int MA_EventHandler::OnPointerUp(int16_t, int16_t, uint8_t) { return 0; }
int MA_EventHandler::OnChar(uint16_t) { return 0; }
int MA_EventHandler::OnKeyUp(uint16_t) { return 0; }
int MA_EventHandler::IsPointerOver(int16_t, int16_t, uint8_t) { return 0; }
int MA_EventHandler::OnKeyDown(uint16_t) { return 0; }
int MA_EventHandler::OnIdle() { return 1; }
void MA_EventHandler::OnActivate(uint16_t) {}
MA_EventHandler* MA_EventHandler::FirstFocusable() { return this; }
MA_EventHandler* MA_EventHandler::NextFocusable() { return nullptr; }
MA_EventHandler* MA_EventHandler::LastFocusable() { return this; }
MA_EventHandler* MA_EventHandler::PrevFocusable() { return nullptr; }
void MA_EventHandler::Draw(int) {}
void MA_EventHandler::Erase(int) {}
void MA_EventHandler::OnFocusChanged() {}
void MA_EventHandler::Redraw() {
  Erase(0);
  Draw(0);
}
void MA_EventHandler::Enable(int on, int redraw) {
  if (on)
    flags |= kHandlerEnabled;
  else
    flags &= ~(kHandlerEnabled | kHandlerFocus);
  if (redraw) Draw(0);
}
void MA_EventHandler::SetFocus(int on) {
  if ((on != 0) == (HasFocus() != 0)) return;
  SetFlags(kHandlerFocus, on);
  OnFocusChanged();
}
void MA_EventHandler::SetUserWord(uint32_t word) { userWord = word; }
void MA_EventHandler::Show(int on, int redraw) {
  if (!redraw) {
    SetFlags(kHandlerShown, on);
    return;
  }
  if (on) {
    flags |= kHandlerShown;
    Draw(0);
  } else {
    Erase(0);
    flags &= ~(kHandlerShown | kHandlerFocus);
  }
}
void MA_EventHandler::Activate(int on, int redraw) {
  Show(on, redraw);
  Enable(on, redraw);
}
void MA_EventHandler::SetNoArrowFocus(int on) { SetFlags(kHandlerNoArrowFocus, on); }
void MA_EventHandler::SetUserFlag(int on) { SetFlags(kHandlerUserFlag, on); }
MARect* MA_EventHandler::GetRect(MARect* out) {
  if (out) *out = MARect{left, top, right, bottom};
  return out;
}
void MA_EventHandler::DrawToBuffer(int, ImageRecord*) {}
int MA_EventHandler::HasFocus() { return (flags & kHandlerFocus) ? 1 : 0; }
int MA_EventHandler::IsShownAndEnabled() {
  return (flags & (kHandlerEnabled | kHandlerShown)) == (kHandlerEnabled | kHandlerShown) ? 1 : 0;
}
void MA_EventHandler::SetFlags(uint32_t mask, int on) {
  if (on)
    flags |= mask;
  else
    flags &= ~mask;
}
void MA_EventHandler::CopyRect(MARect* destination, const MARect* source) {
  if (destination && source) *destination = *source;
}

void ReleaseHandler(MA_EventHandler* element) {
  if (element && --element->refCount <= 0) delete element;
}

// ---- growable array -------------------------------------------------------------------------------------------

MemHandle ArrayCreate(uint32_t capacity, uint32_t elementSize, ArrayElementDestructor destructor) {
  if (elementSize == 0) return 0;
  const uint64_t bytes = (static_cast<uint64_t>(capacity) + 1) * elementSize + kArrayHeaderBytes;
  if (bytes > std::numeric_limits<int32_t>::max()) return 0;
  const MemHandle handle = MemAllocHandle(static_cast<size_t>(bytes), 0x110);
  if (!handle) return 0;
  auto* header = static_cast<ArrayHeader*>(MemLock(handle));
  if (!header) {
    MemFreeHandle(handle);
    return 0;
  }
  std::memset(header, 0, static_cast<size_t>(bytes));
  header->capacity = capacity;
  header->count = 0;
  header->elementSize = elementSize;
  header->destructor = destructor;
  MemUnlock(handle);
  return handle;
}

int ArrayAppend(MemHandle handle, const void* source, uint32_t n) {
  auto* header = static_cast<ArrayHeader*>(MemLock(handle));
  if (!header) return MEM_BADHANDLE;
  if (header->capacity - header->count < n) {
    // Grow to twice the capacity or to what is needed, whichever is larger; sizes are checked before use.
    const uint64_t wanted = std::max<uint64_t>(static_cast<uint64_t>(header->capacity) * 2,
                                               static_cast<uint64_t>(header->count) + n);
    const uint64_t bytes = wanted * header->elementSize + kArrayHeaderBytes;
    MemUnlock(handle);
    if (wanted > std::numeric_limits<uint32_t>::max() || bytes > std::numeric_limits<int32_t>::max()) return MEM_FULL;
    const int result = MemResizeHandle(handle, static_cast<size_t>(bytes), 0);
    if (result != MEM_OK) return result;
    header = static_cast<ArrayHeader*>(MemLock(handle));
    if (!header) return MEM_BADHANDLE;
    header->capacity = static_cast<uint32_t>(wanted);
  }
  std::memcpy(ArrayElements(header) + static_cast<size_t>(header->count) * header->elementSize, source,
              static_cast<size_t>(n) * header->elementSize);
  header->count += n;
  MemUnlock(handle);
  return MEM_OK;
}

void ArrayRemoveAt(ArrayHeader* array, uint32_t index, uint32_t n) {
  if (!array || index >= array->count) return;
  n = std::min(n, array->count - index);
  uint8_t* base = ArrayElements(array);
  const size_t size = array->elementSize;
  // Take the elements out first, so that a destructor that looks at the array sees it consistent.
  std::vector<uint8_t> removed(base + index * size, base + (index + n) * size);
  std::memmove(base + index * size, base + (index + n) * size, (array->count - index - n) * size);
  array->count -= n;
  if (array->destructor)
    for (uint32_t i = 0; i < n; ++i) array->destructor(removed.data() + i * size);
}

int ArrayRemoveValue(ArrayHeader* array, const void* value) {
  if (!array) return 0;
  uint8_t* base = ArrayElements(array);
  const size_t size = array->elementSize;
  for (uint32_t i = 0; i < array->count; ++i) {
    if (std::memcmp(base + i * size, value, size) != 0) continue;
    std::memmove(base + i * size, base + (i + 1) * size, (array->count - i - 1) * size);
    --array->count;
    return 1;
  }
  return 0;
}

void ArrayDestroy(MemHandle handle, int runDestructors) {
  if (!handle) return;
  while (MemLockCount(handle) > 0) MemUnlock(handle);
  auto* header = static_cast<ArrayHeader*>(MemLock(handle));
  if (header && runDestructors && header->destructor) {
    // Copy the elements out: a destructor may destroy objects that touch other arrays.
    const size_t size = header->elementSize;
    std::vector<uint8_t> elements(ArrayElements(header), ArrayElements(header) + header->count * size);
    const ArrayElementDestructor destructor = header->destructor;
    header->count = 0;
    MemUnlock(handle);
    header = nullptr;
    for (size_t i = 0; i < elements.size() / size; ++i) destructor(elements.data() + i * size);
  }
  if (header) MemUnlock(handle);
  MemFreeHandle(handle);
}

// ---- list -------------------------------------------------------------------------------------------------------

int32_t TMA_EventHandlerList::rememberedX = -1;
int32_t TMA_EventHandlerList::rememberedY = -1;

TMA_EventHandlerList::TMA_EventHandlerList() = default;

TMA_EventHandlerList::~TMA_EventHandlerList() {
  if (locked) MemUnlock(array);
  locked = nullptr;
  current = nullptr;
  const MemHandle handle = array;
  array = 0;
  ArrayDestroy(handle, 1);
}

int16_t TMA_EventHandlerList::CreateList(uint32_t capacity) {
  rememberedX = rememberedY = -1;
  if (array) return 0;  // a second call keeps the elements it has
  array = ArrayCreate(capacity, sizeof(MA_EventHandler*), ReleaseSlot);
  return array ? 0 : MEM_FULL;
}

ArrayHeader* TMA_EventHandlerList::LockList() {
  if (!locked && array) locked = static_cast<ArrayHeader*>(MemLock(array));
  return locked;
}

uint32_t TMA_EventHandlerList::Count() {
  ArrayHeader* a = LockList();
  return a ? a->count : 0;
}

MA_EventHandler* TMA_EventHandlerList::At(uint32_t index) {
  ArrayHeader* a = LockList();
  if (!a || index >= a->count) return nullptr;
  MA_EventHandler* element = nullptr;
  std::memcpy(&element, ArrayElements(a) + index * sizeof element, sizeof element);
  return element;
}

int16_t TMA_EventHandlerList::AddHandler(MA_EventHandler* element) {
  if (!element) return 0;
  if (!array) {
    const int16_t result = CreateList(20);
    if (result) return result;
  }
  if (locked) {
    MemUnlock(array);
    locked = nullptr;
  }
  const int result = ArrayAppend(array, &element, 1);
  if (result == MEM_OK) ++element->refCount;
  return static_cast<int16_t>(result);
}

MA_EventHandler* TMA_EventHandlerList::RemoveHandler(MA_EventHandler* element) {
  ArrayHeader* a = LockList();
  if (!a || !ArrayRemoveValue(a, &element)) return nullptr;
  if (current == element) current = nullptr;
  return element;
}

MA_EventHandler* TMA_EventHandlerList::FirstHandler() {
  walkIndex = 0;
  MA_EventHandler* e = At(0);
  return e ? e->FirstFocusable() : nullptr;
}

MA_EventHandler* TMA_EventHandlerList::NextHandler() {
  MA_EventHandler* e = walkIndex >= 0 ? At(static_cast<uint32_t>(walkIndex)) : nullptr;
  if (e)
    if (MA_EventHandler* inner = e->NextFocusable()) return inner;
  if (walkIndex < static_cast<int32_t>(Count())) ++walkIndex;
  e = At(static_cast<uint32_t>(walkIndex));
  return e ? e->FirstFocusable() : nullptr;
}

MA_EventHandler* TMA_EventHandlerList::LastHandler() {
  walkIndex = static_cast<int32_t>(Count()) - 1;
  MA_EventHandler* e = walkIndex >= 0 ? At(static_cast<uint32_t>(walkIndex)) : nullptr;
  return e ? e->LastFocusable() : nullptr;
}

MA_EventHandler* TMA_EventHandlerList::PrevHandler() {
  MA_EventHandler* e = walkIndex >= 0 ? At(static_cast<uint32_t>(walkIndex)) : nullptr;
  if (e)
    if (MA_EventHandler* inner = e->PrevFocusable()) return inner;
  if (walkIndex >= 0) --walkIndex;
  e = walkIndex >= 0 ? At(static_cast<uint32_t>(walkIndex)) : nullptr;
  return e ? e->LastFocusable() : nullptr;
}

bool TMA_EventHandlerList::IsFocusKey(uint16_t code) const {
  return (code == kKeyTab && tabMovesFocus) || ((code == kKeyUp || code == kKeyDown) && upDownMoveFocus) ||
         ((code == kKeyLeft || code == kKeyRight) && leftRightMoveFocus);
}

int TMA_EventHandlerList::OnChar(uint16_t code) {
  if (keyboardNavigation) {
    if (code != kKeyTab && current && current->kind == kKindTextEntry && current->OnChar(code)) return 1;
    if (IsFocusKey(code)) {
      if (Captured()) return 0;
      OnKeyDown(code);
      return 1;
    }
    if (code == kKeyEnter && current) {
      if (current->kind == kKindNoFocus) return current->OnChar(kKeyEnter);
      current->OnActivate(kKeyEnter);
      return 1;
    }
  }
  // The count is read again on each round: an element may remove itself while it handles the key.
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i)
    if (e->OnChar(code)) return 1;
  if (code == kKeyF1) return OnHelpKey(kKeyF1);
  return 0;
}

int TMA_EventHandlerList::OnKeyUp(uint16_t code) {
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i)
    if (e->OnKeyUp(code)) return 1;
  return 0;
}

int TMA_EventHandlerList::OnHelpKey(uint16_t code) { return helpCallback ? helpCallback(this, current, code) : 0; }

int TMA_EventHandlerList::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (Captured()) return 0;
  OnPointerMove(x, y, kButtonTracking);
  pressX = x;
  pressY = y;
  for (MA_EventHandler* e = FirstHandler(); e; e = NextHandler())
    if (e->OnPointerDown(x, y, buttons)) return 1;
  return 0;
}

int TMA_EventHandlerList::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  if (Captured()) return 0;
  OnPointerMove(x, y, kButtonTracking);
  for (MA_EventHandler* e = FirstHandler(); e; e = NextHandler())
    if (e->OnPointerUp(x, y, buttons)) return 1;
  return 0;
}

void TMA_EventHandlerList::OnPointerMove(int16_t x, int16_t y, uint8_t buttons) {
  if (Input().buttonHeld) return;
  if (current && current->IsShownAndEnabled() && current->IsPointerOver(x, y, buttons)) return;
  if (current) current->SetFocus(0);
  current = nullptr;
  for (MA_EventHandler* e = FirstHandler(); e; e = NextHandler()) {
    if (e->kind == kKindNoFocus || !e->IsShownAndEnabled() || !e->IsPointerOver(x, y, buttons)) continue;
    current = e;
    e->SetFocus(1);
    return;
  }
}

int TMA_EventHandlerList::OnIdle() {
  if (Captured()) {
    if (current) current->OnIdle();
    return 1;
  }
  int16_t x = 0, y = 0;
  MouseGetPosition(&x, &y);
  if (x != rememberedX || y != rememberedY) {
    OnPointerMove(x, y, 0);
    rememberedX = x;
    rememberedY = y;
  }
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i)
    if (!e->OnIdle()) return 0;
  return 1;
}

void TMA_EventHandlerList::DrawAll(int flag) {
  const uint32_t n = Count();
  for (uint32_t k = 0; k < n; ++k)
    if (MA_EventHandler* e = At(reverseDrawing ? n - 1 - k : k)) e->Draw(flag);
}

void TMA_EventHandlerList::EraseAll(int flag) {
  const uint32_t n = Count();
  for (uint32_t k = 0; k < n; ++k)
    if (MA_EventHandler* e = At(reverseDrawing ? n - 1 - k : k)) e->Erase(flag);
}

void TMA_EventHandlerList::OnKeyDown(uint16_t code) {
  bool forwards;
  const bool arrow = code != kKeyTab;
  if (code == kKeyDown || code == kKeyRight)
    forwards = true;
  else if (code == kKeyUp || code == kKeyLeft)
    forwards = false;
  else if (code == kKeyTab)
    forwards = !(GetKeyState(VK_SHIFT) & 0x8000);
  else
    return;
  // The walk in order; inner elements of containers take their places in it.
  std::vector<MA_EventHandler*> walk;
  for (MA_EventHandler* e = FirstHandler(); e; e = NextHandler()) walk.push_back(e);
  const int32_t n = static_cast<int32_t>(walk.size());
  if (n == 0) return;
  int32_t at = -1;
  for (int32_t i = 0; i < n; ++i)
    if (walk[i] == current) at = i;
  std::vector<MA_EventHandler*> candidates;
  if (at >= 0) {
    for (int32_t k = 1; k < n; ++k) candidates.push_back(walk[(forwards ? at + k : at - k + n) % n]);
  } else {
    // Without a current element the far end of the walk is where the search stops, unvisited.
    for (int32_t k = 0; k < n - 1; ++k) candidates.push_back(walk[forwards ? k : n - 1 - k]);
  }
  for (MA_EventHandler* e : candidates) {
    if (!e->IsShownAndEnabled() || e->kind == kKindNoFocus) continue;
    if (arrow && (e->flags & kHandlerNoArrowFocus)) continue;
    if (current) current->SetFocus(0);
    current = e;
    e->SetFocus(1);
    return;
  }
}

void TMA_EventHandlerList::SetHelpCallback(HelpCallback callback) { helpCallback = callback; }

void TMA_EventHandlerList::SetCurrentHandler(MA_EventHandler* element) {
  current = element;
  int16_t x = 0, y = 0;
  MouseGetPosition(&x, &y);
  rememberedX = x;
  rememberedY = y;
}

void TMA_EventHandlerList::SetCapture(int on) {
  captured = on;
  current = nullptr;
}
void TMA_EventHandlerList::ReleaseCapture() { captured = 0; }

void TMA_EventHandlerList::ForEach(void (*routine)(MA_EventHandler*)) {
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i) routine(e);
}
void TMA_EventHandlerList::ForEachWithArg(void (*routine)(MA_EventHandler*, void*), void* argument) {
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i) routine(e, argument);
}
void TMA_EventHandlerList::ShowEach(int on) {
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i) e->Show(on, 1);
}
void TMA_EventHandlerList::EnableEach(int on) {
  for (uint32_t i = 0; MA_EventHandler* e = At(i); ++i) e->Enable(on, 0);
}
