#pragma once
#include <QString>

#include "ui/PlatformServices.h"

class QWidget;

namespace morvane::ui {

// Asks for an output folder, modal to its owner window.
class clsRefFolder {
 public:
  explicit clsRefFolder(PlatformServices& services) : services_(services) {}
  void setHWND(QWidget* hWnd) { owner_ = hWnd; }
  // The chosen folder's path; empty text when the user cancelled.
  QString fnShow() { return services_.chooseFolder(owner_); }

 private:
  PlatformServices& services_;
  QWidget* owner_ = nullptr;
};

}  // namespace morvane::ui
