// The courses and golfers screens.
#include "frontend/frontend.h"

void ShowCoursesScreen(TGenericControlADV*) {}
void ShowGolfersScreen(TGenericControlADV*) {}
