#pragma once

// Answers --help and --version on standard output. They are read before any application object
// for the screen exists, so they work on a terminal without a display. Returns true when the
// program should exit.
bool answerTerminalOptions(int& argc, char* argv[]);
