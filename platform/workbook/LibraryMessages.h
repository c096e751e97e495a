#pragma once
// The libraries under the workbook backends (libgsf and GLib, libxml2) print their own
// complaints about damaged input to the terminal, in English. A damaged workbook is already
// answered by a reason of its own, so those lines are kept off the terminal.
namespace morvane::platform {

// Installs the handlers once per process; later calls do nothing.
void quietLibraryMessages();

}  // namespace morvane::platform
