// Symbolic links that give the simulated meters stable port names, such as
// /tmp/meters/COM3 -> /dev/pts/7.
#pragma once

#include <string>

namespace quorvel::sim {

// Makes `link` point at `target`, creating its folder. An existing link is
// replaced (it is stale, or another run's); anything else at that path is
// left alone and reported.
bool CreatePortLink(const std::string& link, const std::string& target, std::string* error);

// Removes `link` if it still points at `target`; a link that another run
// has taken over since is not ours to remove.
void RemovePortLink(const std::string& link, const std::string& target);

}  // namespace quorvel::sim
