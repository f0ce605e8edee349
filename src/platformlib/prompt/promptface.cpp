// The keyboard's prompt box draws its face through the text drawer once text is started.
#include "platformlib/display/keyboard.h"
#include "platformlib/shapes/textdraw.h"

void inittext() {
  static bool started = false;
  if (started) return;
  started = true;
  inittextstate();
  promptboxdraw = drawpromptface;
}
