#include "sim/port_link.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace quorvel::sim {

namespace fs = std::filesystem;

bool CreatePortLink(const std::string& link, const std::string& target, std::string* error) {
  const auto fail = [error, &link](const std::string& why) {
    if (error) *error = "cannot create link " + link + ": " + why;
    return false;
  };
  std::error_code ec;
  const fs::path path(link);
  if (path.has_parent_path()) {
    fs::create_directories(path.parent_path(), ec);
    if (ec) return fail(ec.message());
  }
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::exists(status) && !fs::is_symlink(status)) {
    return fail("the path exists and is not a symbolic link");
  }
  // Made under a temporary name and renamed over the old link, so the name
  // never points nowhere while a dashboard might be looking.
  const fs::path temporary = path.string() + ".tmp" + std::to_string(::getpid());
  fs::remove(temporary, ec);
  fs::create_symlink(target, temporary, ec);
  if (ec) return fail(ec.message());
  fs::rename(temporary, path, ec);
  if (ec) {
    const std::string why = ec.message();
    fs::remove(temporary, ec);
    return fail(why);
  }
  return true;
}

void RemovePortLink(const std::string& link, const std::string& target) {
  std::error_code ec;
  const fs::path points_at = fs::read_symlink(link, ec);
  if (!ec && points_at == fs::path(target)) fs::remove(link, ec);
}

}  // namespace quorvel::sim
