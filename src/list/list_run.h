// zx81list: lists, summarises, shows the screen of and checks the programs of P, .p81 and
// .tzx files.
//
//   zx81list [options] FILE...      (- reads standard input)
//   exit status 0: everything listed or checked and sound; 1: a file that cannot be read or
//   holds no sound program, a damaged container, --check found damage, or the zmakebas text
//   will not rebuild a program; 2: bad usage.
//
// This file and main.cpp make the executable; the rest of the folder is its library.
#pragma once

/// The whole program: parses the options, then lists, summarises or checks every file.
int zx81list_main(int argc, char** argv);
