// Modulation and output control: AM Mode, STOP and CW.
#include "panel/form1.h"

void Form1::connectModulation() {}
void Form1::Command4_Click() {}
void Form1::Command6_Click() {}
void Form1::Command11_Click() {}
