// User-interface elements and the lists that route input, drawing and focus to them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/core/memmgr.h"
#include "framework/core/utils.h"

// Key codes: a typed character is its code; a special key is 0x100 + its virtual-key code; Alt + key is
// 0x2000 + its virtual-key code.
constexpr uint16_t kKeyTab = 9, kKeyEnter = 13;
constexpr uint16_t kKeySpecial = 0x100, kKeyAlt = 0x2000;
constexpr uint16_t kKeyPageUp = 0x121, kKeyPageDown = 0x122, kKeyEnd = 0x123, kKeyHome = 0x124;
constexpr uint16_t kKeyLeft = 0x125, kKeyUp = 0x126, kKeyRight = 0x127, kKeyDown = 0x128;
constexpr uint16_t kKeyDelete = 0x12E, kKeyF1 = 0x170;
// The code an element sees for a key-down of a virtual key (0 when the key types a character instead).
uint16_t SpecialKeyCode(uint32_t virtualKey, bool alt);

// Button byte of pointer events.
constexpr uint8_t kButtonRight = 1, kButtonCtrl = 2, kButtonShift = 4, kButtonDouble = 8, kButtonTracking = 0xFF;

// Element flags.
constexpr uint32_t kHandlerFocus = 0x01, kHandlerEnabled = 0x02, kHandlerShown = 0x04, kHandlerGroup = 0x08;
constexpr uint32_t kHandlerNoArrowFocus = 0x20, kHandlerUserFlag = 0x40;
// Element kinds the lists treat specially.
constexpr uint16_t kKindNoFocus = 10, kKindTextEntry = 12;

struct ImageRecord;

class MA_EventHandler {
 public:
  MA_EventHandler();
  MA_EventHandler(uint32_t flags, uint16_t id, uint16_t kind, uint16_t firstCode, uint32_t data);
  virtual ~MA_EventHandler() = default;
  virtual int OnPointerDown(int16_t x, int16_t y, uint8_t buttons);
  virtual int OnPointerUp(int16_t x, int16_t y, uint8_t buttons);
  virtual int OnChar(uint16_t code);
  virtual int OnKeyUp(uint16_t code);
  virtual int IsPointerOver(int16_t x, int16_t y, uint8_t buttons);
  virtual int OnKeyDown(uint16_t code);
  virtual int OnIdle();
  virtual void OnActivate(uint16_t code);
  virtual MA_EventHandler* FirstFocusable();
  virtual MA_EventHandler* NextFocusable();
  virtual MA_EventHandler* LastFocusable();
  virtual MA_EventHandler* PrevFocusable();
  virtual void Draw(int flag);
  virtual void Erase(int flag);
  virtual void OnFocusChanged();
  virtual void Redraw();
  virtual void Enable(int on, int redraw);
  virtual void SetFocus(int on);
  virtual void SetUserWord(uint32_t word);
  virtual void Show(int on, int redraw);
  virtual void Activate(int on, int redraw);
  virtual void SetNoArrowFocus(int on);
  virtual void SetUserFlag(int on);
  virtual MARect* GetRect(MARect* out);
  virtual void DrawToBuffer(int flag, ImageRecord* buffer);
  virtual int HasFocus();
  virtual int IsShownAndEnabled();

  void SetFlags(uint32_t mask, int on);
  static void CopyRect(MARect* destination, const MARect* source);

  int32_t left, top, right, bottom;
  uint32_t flags;
  uint16_t id;
  uint16_t kind;
  uint16_t codes[8];
  uint16_t spareCode;
  uint32_t data;
  int32_t refCount;
  uint32_t userWord;
};

// Growable array in one movable block: a header (capacity, count, element size, element destructor) and the
// elements.
using ArrayElementDestructor = void (*)(void* element);
struct ArrayHeader {
  uint32_t capacity;
  uint32_t count;
  uint32_t elementSize;
  uint32_t spare;
  ArrayElementDestructor destructor;
};
constexpr size_t kArrayHeaderBytes = sizeof(ArrayHeader);
inline uint8_t* ArrayElements(ArrayHeader* array) { return reinterpret_cast<uint8_t*>(array + 1); }

MemHandle ArrayCreate(uint32_t capacity, uint32_t elementSize, ArrayElementDestructor destructor);
int ArrayAppend(MemHandle handle, const void* source, uint32_t n);
void ArrayRemoveAt(ArrayHeader* array, uint32_t index, uint32_t n);
int ArrayRemoveValue(ArrayHeader* array, const void* value);
void ArrayDestroy(MemHandle handle, int runDestructors);

class TMA_EventHandlerList;
using HelpCallback = int (*)(TMA_EventHandlerList* list, MA_EventHandler* current, uint16_t code);

class TMA_EventHandlerList {
 public:
  TMA_EventHandlerList();
  TMA_EventHandlerList(const TMA_EventHandlerList&) = delete;
  TMA_EventHandlerList& operator=(const TMA_EventHandlerList&) = delete;
  virtual ~TMA_EventHandlerList();
  virtual int16_t CreateList(uint32_t capacity);
  virtual int OnChar(uint16_t code);
  virtual int OnKeyUp(uint16_t code);
  virtual int OnHelpKey(uint16_t code);
  virtual int OnPointerDown(int16_t x, int16_t y, uint8_t buttons);
  virtual int OnPointerUp(int16_t x, int16_t y, uint8_t buttons);
  virtual int OnIdle();
  virtual void DrawAll(int flag);
  virtual void EraseAll(int flag);
  virtual void OnPointerMove(int16_t x, int16_t y, uint8_t buttons);
  virtual void OnKeyDown(uint16_t code);
  virtual void SetHelpCallback(HelpCallback callback);

  int16_t AddHandler(MA_EventHandler* element);
  MA_EventHandler* RemoveHandler(MA_EventHandler* element);
  ArrayHeader* LockList();
  MA_EventHandler* FirstHandler();
  MA_EventHandler* NextHandler();
  MA_EventHandler* LastHandler();
  MA_EventHandler* PrevHandler();
  void SetCurrentHandler(MA_EventHandler* element);
  void SetCapture(int on);
  void ReleaseCapture();
  void ForEach(void (*routine)(MA_EventHandler*));
  void ForEachWithArg(void (*routine)(MA_EventHandler*, void*), void* argument);
  void ShowEach(int on);
  void EnableEach(int on);
  uint32_t Count();
  MA_EventHandler* At(uint32_t index);  // null past the end

  // The position of the last focus decision, shared by every list.
  static int32_t rememberedX, rememberedY;

  MemHandle array = 0;
  ArrayHeader* locked = nullptr;
  MA_EventHandler* current = nullptr;
  int32_t walkIndex = 0;
  int32_t selectedIndex = -1;
  int32_t pressX = 0, pressY = 0;
  int32_t captured = 0;
  int32_t passThrough = 0;
  int32_t keyboardNavigation = 1;
  int32_t reverseDrawing = 0;
  int32_t tabMovesFocus = 1;
  int32_t upDownMoveFocus = 1;
  int32_t leftRightMoveFocus = 0;
  HelpCallback helpCallback = nullptr;

 private:
  bool Captured() const { return captured && !passThrough; }
  bool IsFocusKey(uint16_t code) const;
};

// Lowers the element's reference count and destroys it when no list holds it any more.
void ReleaseHandler(MA_EventHandler* element);
