// The keyboard's prompt box draws its face through the text drawer once text is started.
#include "platformlib/keyboard.h"
#include "platformlib/textdraw.h"

void inittext() {
  static bool started = false;
  if (started) return;
  started = true;
  inittextstate();
  promptboxdraw = drawpromptface;
}
