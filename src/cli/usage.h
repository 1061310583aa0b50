#pragma once

#include <string>

/// The usage text, headed by the invocation name and the build date.
std::string usage_text(const char* invocation);
