#pragma once

struct StartOptions;

// The program without a window (--no-window): the remote control alone, on a
// QCoreApplication, so it runs over ssh and as a service with no display at all. It
// listens first and ends (1) when it cannot, since it has no other use; then it looks
// for the generator, telling on the standard error what it tries and finds, and keeps
// looking for it until SIGTERM, SIGINT or SIGHUP ends it (0), with the port closed.
// KVT.INI is read as the panel reads it and never written. Returns the exit code.
int runWithoutWindow(int &argc, char *argv[], const StartOptions &options);
