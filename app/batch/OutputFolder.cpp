#include "app/batch/OutputFolder.h"

#include <filesystem>
#include <iostream>

namespace morvane::batch {

bool ensureOutputFolder(const std::string& option, const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && std::filesystem::is_directory(folder, error)) return true;
  std::cerr << "morvane-batch: " << option << " " << folder << ": cannot create the folder"
            << (error ? ": " + error.message() : std::string()) << "\n";
  return false;
}

}  // namespace morvane::batch
