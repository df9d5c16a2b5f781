#include "app/demo_meters.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <system_error>

#include "app/dashboard_options.h"
#include "link/serial_platform.h"
#include "sim/meter_simulator.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFolderPrefix = "quorvel-demo-";
// Fixed, so that every demo shows the same meters (numbers, load, history);
// meter i runs with seed + i, so no two meters read alike.
constexpr std::uint64_t kDemoSeed = 1;

// The process id in "quorvel-demo-<pid>-XXXXXX".
std::optional<pid_t> FolderPid(std::string_view name) {
  if (!name.starts_with(kFolderPrefix)) return std::nullopt;
  name.remove_prefix(kFolderPrefix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos) return std::nullopt;
  pid_t pid = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + dash, pid);
  if (ec != std::errc{} || end != name.data() + dash || pid <= 0) return std::nullopt;
  return pid;
}

bool ProcessGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// A real folder of this user: never follow a link someone else planted in a
// shared temporary folder.
bool OwnFolder(const fs::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid();
}

}  // namespace

std::vector<int> DemoSlots(int meters) {
  std::vector<int> slots;
  const int first = meters <= 16 ? 3 : 1;
  for (int i = 0; i < meters; ++i) slots.push_back(first + i);
  return slots;
}

fs::path DemoParentFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
    std::error_code ec;
    if (fs::is_directory(runtime, ec)) return runtime;
  }
  std::error_code ec;
  const fs::path temporary = fs::temp_directory_path(ec);
  return ec ? fs::path("/tmp") : temporary;
}

int RemoveStaleDemoFolders(const fs::path& parent) {
  // The serial lock files of a killed run's meters are named after its
  // folder and never used again: they go with it (and those of folders
  // removed before they did).
  RemoveLockFilesOfEndedOwners((parent / kFolderPrefix).string());
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    const auto pid = FolderPid(it->path().filename().native());
    if (!pid || !ProcessGone(*pid) || !OwnFolder(it->path())) continue;
    std::error_code remove_error;
    fs::remove_all(it->path(), remove_error);
    if (!remove_error) ++removed;
  }
  return removed;
}

Result<std::unique_ptr<DemoMeters>> DemoMeters::Start(int meters) { return Start(meters, DemoParentFolder()); }

Result<std::unique_ptr<DemoMeters>> DemoMeters::Start(int meters, const fs::path& parent) {
  const auto fail = [](const std::string& why) {
    return Status::Fail(StatusCode::kFailed, "cannot start the simulated meters: " + why);
  };
  if (meters < 1 || meters > kMaxDemoMeters) {
    return fail("between 1 and " + std::to_string(kMaxDemoMeters) + " meters, please");
  }
  RemoveStaleDemoFolders(parent);

  // mkdtemp makes the folder with mode 0700: no other user reaches the meters.
  std::string folder = (parent / (std::string(kFolderPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
  if (::mkdtemp(folder.data()) == nullptr) return fail(folder + ": " + std::strerror(errno));
  std::unique_ptr<DemoMeters> demo(new DemoMeters);
  demo->folder_ = folder;  // from here on the destructor removes it

  sim::MeterSimulatorOptions options;
  options.seed = kDemoSeed;
  const std::vector<int> slots = DemoSlots(meters);
  for (const int slot : slots) options.links.push_back((demo->folder_ / ("COM" + std::to_string(slot))).string());

  std::string why;
  demo->meters_ = sim::MeterSimulator::Open(options, &why);
  if (!demo->meters_ || !demo->meters_->Start(&why)) return fail(why);
  for (std::size_t i = 0; i < slots.size(); ++i) demo->assignments_[slots[i]] = options.links[i];
  return demo;
}

DemoMeters::~DemoMeters() {
  meters_.reset();  // stops the meters and removes their links first
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

}  // namespace quorvel
