#pragma once

struct StartOptions;

// The program with its window: the front panel and, when asked, the remote control,
// both driving one Instrument. A remote port that cannot be listened on leaves the
// panel running without remote control. Returns the program's exit code.
int runWithWindow(int &argc, char *argv[], const StartOptions &options);
