#include "acquire/drive_probe.h"

namespace fs = std::filesystem;

namespace sorvane {

FolderDriveProbe::FolderDriveProbe(fs::path folder) : folder_(std::move(folder)) {}

std::vector<Drive> FolderDriveProbe::Drives() {
  return {Drive{kDriveRemovable, folder_.string(), ""}, Drive{kDriveCdRom, folder_.string(), ""}};
}

MediumStatus FolderDriveProbe::QueryMedium(const std::string& root) {
  MediumStatus status;
  std::error_code ec;
  if (root == folder_.string() && fs::is_directory(folder_, ec)) {
    fs::directory_iterator probe(folder_, ec);
    if (!ec) {
      status.ready = true;
      status.root = root;
    }
  }
  return status;
}

}  // namespace sorvane
