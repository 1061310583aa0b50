#pragma once

/// Writes the usage text, headed by the invocation name and the build date, to standard output.
void print_usage(const char* invocation);
