#pragma once
#include <functional>
#include <memory>

#include "ui/PlatformServices.h"

namespace morvane::ui {

class frmDBDef;
class frmDatTypeSQLServer;
class frmDBServer;
class frmTableList;

// Owns the program's windows: one instance of each for the whole run, made at first use.
// Windows find each other here and hand data over through each other's public members.
class WindowHub {
 public:
  // endProgram runs after every window is gone; the program passes QApplication::quit.
  WindowHub(PlatformServices& services, std::function<void()> endProgram);
  ~WindowHub();
  WindowHub(const WindowHub&) = delete;
  WindowHub& operator=(const WindowHub&) = delete;

  PlatformServices& services() { return services_; }

  frmDBDef& dbDef();
  frmDatTypeSQLServer& datTypeSQLServer();
  frmTableList& tableList();
  frmDBServer& dbServer();

  // Exit: removes every window without asking (no window may refuse) and ends the program.
  void endProgram();

 private:
  PlatformServices& services_;
  std::function<void()> endProgram_;
  std::unique_ptr<frmDBDef> dbDef_;
  std::unique_ptr<frmDatTypeSQLServer> datType_;
  std::unique_ptr<frmTableList> tableList_;
  std::unique_ptr<frmDBServer> dbServer_;
};

}  // namespace morvane::ui
