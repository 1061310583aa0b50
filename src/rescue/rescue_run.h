// A zx81rescue run: every recording decoded (several at once with -j), every program written,
// the reports printed in the order the recordings were given.
#pragma once

/// The whole program: options, recordings, files, reports. Returns the exit status: 0 every
/// program found is intact; 1 something is damaged, a recording holds no program, or a file
/// failed; 2 bad usage.
int zx81rescue_main(int argc, char** argv);
