// Words for the reports: several items in one phrase.
#pragma once

#include <string>
#include <vector>

/// The items as one phrase: "a", "a and b", "a, b and c"; empty for none.
std::string list_of(const std::vector<std::string>& items);
