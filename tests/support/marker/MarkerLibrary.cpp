// A shared library that only proves it was loaded: its constructor creates the file named by
// MORVANE_MARKER_FILE.
#include <cstdio>
#include <cstdlib>

namespace {

__attribute__((constructor)) void leaveMarker() {
  const char* path = std::getenv("MORVANE_MARKER_FILE");
  if (path == nullptr) return;
  if (std::FILE* file = std::fopen(path, "w")) std::fclose(file);
}

}  // namespace
