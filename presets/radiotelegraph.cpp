// The radiotelegraph frame: Morse text keyed by the generator.
#include "panel/form1.h"

void Form1::connectRadiotelegraph() {}
void Form1::Timer4_Tick() {}
