// Simulated meters for `quorvel-dashboard --demo N`: N meters of the meter
// simulator, run inside the dashboard's own process (so they end with it,
// even on kill -9), each on a pseudo-terminal linked as COMn in a private
// folder. The slots go to the engine as port assignments for this run only;
// the settings file is not touched.
//
// Slots: COM3 to COM(N+2) for up to 16 meters, so that COM1 and COM2 (the
// usual built-in ports) stay free; 17 and 18 meters take COM1 to COMN.
//
// The folder is quorvel-demo-<pid>-XXXXXX (mode 0700) under
// $XDG_RUNTIME_DIR, else the temporary folder. A killed run leaves its
// folder and its ports' lock files behind; the next start removes both for
// runs that are gone.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/status.h"

namespace quorvel {

namespace sim {
class MeterSimulator;
}

// The slots N meters take, in order.
std::vector<int> DemoSlots(int meters);

// $XDG_RUNTIME_DIR when it names a folder, else the system's temporary folder.
std::filesystem::path DemoParentFolder();

// Removes this user's demo folders under `parent` whose process has ended,
// and the lock files of their ports; returns how many folders.
int RemoveStaleDemoFolders(const std::filesystem::path& parent);

class DemoMeters {
 public:
  // Starts `meters` (1..18) simulated meters with links in a new folder
  // under `parent`, or says why it could not.
  static Result<std::unique_ptr<DemoMeters>> Start(int meters);
  static Result<std::unique_ptr<DemoMeters>> Start(int meters, const std::filesystem::path& parent);
  ~DemoMeters();  // stops the meters and removes the folder
  DemoMeters(const DemoMeters&) = delete;
  DemoMeters& operator=(const DemoMeters&) = delete;

  // Slot -> link path, for Engine::Options::port_assignments.
  const std::map<int, std::string>& PortAssignments() const { return assignments_; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  DemoMeters() = default;

  std::filesystem::path folder_;
  std::map<int, std::string> assignments_;
  std::unique_ptr<sim::MeterSimulator> meters_;
};

}  // namespace quorvel
