#include "list/list_run.h"

int main(int argc, char** argv) {
    return zx81list_main(argc, argv);
}
