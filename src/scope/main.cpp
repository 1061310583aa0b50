#include "scope/scope_run.h"

int main(int argc, char** argv) {
    return zx81scope_main(argc, argv);
}
