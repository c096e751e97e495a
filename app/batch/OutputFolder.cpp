#include "app/batch/OutputFolder.h"

#include <filesystem>
#include <iostream>

#include "platform/files/SystemError.h"

namespace morvane::batch {

bool ensureOutputFolder(const std::string& option, const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && std::filesystem::is_directory(folder, error)) return true;
  std::cerr << "morvane-batch: " << option << ": フォルダ「" << folder << "」を作成できません"
            << (error ? ": " + platform::describeSystemError(error.value()) : std::string()) << "\n";
  return false;
}

}  // namespace morvane::batch
