#include "platform/xlsxwriter/DesignBookWriter.h"

#include "platform/files/Files.h"
#include "platform/loader/ModuleLoader.h"

namespace morvane::platform {

void writeBook(const std::string& path, const std::vector<BookSheet>& sheets) {
  const BookModule* module = nullptr;
  try {
    module = &loadModule<BookModule>("book");
  } catch (const ModuleLoadError& error) {
    throw FileError(path + ": " + error.what());
  }
  PendingFile file(path);
  if (const std::string reason = module->write(file.temporaryPath(), sheets); !reason.empty()) {
    throw FileError(path + ": " + reason);
  }
  file.commit();
}

}  // namespace morvane::platform
