#pragma once

#include <string>
#include <vector>

namespace quorvel::cli {

// quorvel-cli decode [--hex] [FILE]: feeds a captured byte stream into
// receive slot 1 and prints every complete answer as JSON.
int RunDecode(const std::vector<std::string>& args);

}  // namespace quorvel::cli
