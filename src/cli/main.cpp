#include "cli/run.h"

int main(int argc, char** argv) { return zx81tape_main(argc, argv); }
