#include "ui/WindowHub.h"

#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmTableList.h"

namespace morvane::ui {

WindowHub::WindowHub(PlatformServices& services, std::function<void()> endProgram)
    : services_(services), endProgram_(std::move(endProgram)) {}

WindowHub::~WindowHub() = default;

frmDBDef& WindowHub::dbDef() {
  if (!dbDef_) dbDef_ = std::make_unique<frmDBDef>(*this);
  return *dbDef_;
}

frmDatTypeSQLServer& WindowHub::datTypeSQLServer() {
  if (!datType_) datType_ = std::make_unique<frmDatTypeSQLServer>(*this);
  return *datType_;
}

frmTableList& WindowHub::tableList() {
  if (!tableList_) tableList_ = std::make_unique<frmTableList>(*this);
  return *tableList_;
}

frmDBServer& WindowHub::dbServer() {
  if (!dbServer_) dbServer_ = std::make_unique<frmDBServer>(*this);
  return *dbServer_;
}

void WindowHub::endProgram() {
  if (dbServer_) dbServer_->sbDiscard();
  if (datType_) datType_->sbDiscard();
  if (tableList_) tableList_->sbDiscard();
  if (dbDef_) dbDef_->sbDiscard();
  if (endProgram_) endProgram_();
}

}  // namespace morvane::ui
