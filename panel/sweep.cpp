// Sweep: the three dialogs, the sweep command and Pause.
#include "panel/form1.h"

void Form1::connectSweep() {}
void Form1::Command5_Click() {}
