#pragma once
// Brimtone: the command line, one program per data folder, the application, its two windows,
// the desktop's ways in, the message loop; settings saved at the end. The entry point, also
// run by the start-up benchmark.

int RunProgram(int argc, char** argv);
