#include "synth/synth_run.h"

int main(int argc, char** argv) { return zx81synth_main(argc, argv); }
