#pragma once
#include <string>
#include <vector>

namespace tovik::cli {

using TArguments = std::vector<std::string>;

// Each command returns the process exit code.
int RunLibsCommand(const TArguments& arguments);

} // namespace tovik::cli
