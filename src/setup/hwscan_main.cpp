// hwscan: writes the card table and ends; it takes no arguments of its own.
#include "cardtable.h"

int main() { return hwscan::main(); }
