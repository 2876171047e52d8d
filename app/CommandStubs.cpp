// Do-nothing commands, so that the program links until the real ones exist.
#include "app/Commands.h"

void SearchCommand() {}

void SendCommand(WORD, int, int) {}
