// zx81pack: joins ZX81 programs into a .p81 or .tzx file, splits such files into P files, and
// lists the programs in files (see pack_options.h for the command line).
//
//   exit status 0: done; 1: a file that cannot be read or written, a damaged container, a
//   file that exists without --force; 2: bad usage.
#pragma once

/// The whole program.
int zx81pack_main(int argc, char** argv);
