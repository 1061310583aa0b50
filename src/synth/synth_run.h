// A zx81synth run, from the arguments to the exit status, with every message it prints. This
// file and main.cpp make the executable; the rest of the folder is its library.
#pragma once

/// The whole program: options, files, recording. Returns the exit status (0, 1 or 2).
int zx81synth_main(int argc, char** argv);
