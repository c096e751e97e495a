#include "platform/loader/ModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>

namespace morvane::platform {
namespace {

std::string programFolder() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string program(path, static_cast<std::size_t>(length));
  const auto slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

}  // namespace

const void* moduleEntry(const char* name) {
  static std::mutex lock;
  static std::map<std::string, const void*> loaded;
  const std::lock_guard<std::mutex> guard(lock);
  if (const auto at = loaded.find(name); at != loaded.end()) return at->second;
  const std::string file = std::string("libmorvane_") + name + ".so";
  std::string reason = "見つかりません";
  // Absolute paths only: the library search path must not choose which code is loaded.
  for (const std::string& folder : {programFolder(), std::string(MORVANE_MODULE_DIR)}) {
    if (folder.empty() || ::access((folder + "/" + file).c_str(), R_OK) != 0) continue;
    void* handle = ::dlopen((folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* error = ::dlerror();
      reason = error ? error : "読み込めません";
      continue;
    }
    using Entry = const void* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "morvane_module_entry"));
    if (!entry) {
      ::dlclose(handle);
      reason = "入口がありません";
      continue;
    }
    return loaded[name] = entry();
  }
  throw ModuleLoadError("部品 " + file + " を読み込めません (" + reason + ")");
}

}  // namespace morvane::platform
