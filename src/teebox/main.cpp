// The game program: everything happens in the game's main function.
#include "framework/gameapp.h"

int main(int argc, char** argv) { return ProgramMain(argc, argv); }
