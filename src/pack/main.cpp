#include "pack/pack_run.h"

int main(int argc, char** argv) {
    return zx81pack_main(argc, argv);
}
