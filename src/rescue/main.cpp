#include "rescue/rescue_run.h"

int main(int argc, char** argv) {
    return zx81rescue_main(argc, argv);
}
