#include "cli/usage.h"

#include <cstdio>

void print_usage(const char* invocation) {
    std::printf(" %s  filename.raw [n=NN] \n", invocation);
    std::fputs(" zx81tape " ZX81_VERSION ", built " __DATE__ " " __TIME__ "\n\n", stdout);
    std::fputs(" use <your favorite wave-editor> to sample your old zx81 tape\n"
               " [8-bit mono and preferably 22KhZ (although other sample \n"
               " frequencies can be used)]. Remove all leading and trailing \n"
               " noise and silence (the first signal should represent the \n"
               " name of the program). Make sure recording level is > 50% of\n"
               " the maximum. The data MUST be save in RAW format (that is\n"
               " just a long sequence of 8-bit samples).\n\n"
               " command line arguments and options:\n"
               "   filename.raw       // the file with the raw data \n"
               "   n=NN               // threshold (0..239) default = 30 \n"
               "   k=NN               // default is 3 (higher, smaller tolerance)\n"
               "   -e                 // stop on unknown bits (default)\n"
               "   -i                 // set undeterminable bits to 0 (default is stop)\n"
               "   -o                 // set undeterminable bits to 1\n"
               "   -r                 // restart (overwrite intermediate files)\n"
               "   -p                 // overwrite P-file (default is use existing)\n"
               "   -b                 // overwrite Bit-file (default is use existing)\n"
               "   -z                 // use 'saved' name for p.file (default)\n"
               "   -ffilename.p       // use 'filename.p' for p.file\n"
               "   -l                 // generate listing 'name'.lst\n"
               "   -c                 // clean up intermediate files\n"
               "   -m                 // more information when processing\n"
               " intermediate files:\n"
               "    filename.war      // normalized raw file\n"
               "    filename.bit      // converted war file ('0','1','?')\n"
               "    'name'.p          // bit file => p file\n",
               stdout);
}
