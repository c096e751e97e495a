#include "htmldoc/SchemaDiagram.h"

#include "platform/loader/ModuleLoader.h"

namespace morvane::htmldoc {

clsSchemaDiagram::clsSchemaDiagram() {
  try {
    module_ = &platform::loadModule<DiagramModule>("diagram");
    context_ = module_->open();
  } catch (const platform::ModuleLoadError&) {
    module_ = nullptr;  // the pages say the diagram could not be drawn
  }
}

clsSchemaDiagram::~clsSchemaDiagram() {
  if (module_ && context_) module_->close(context_);
}

std::optional<std::string> clsSchemaDiagram::fnMakeSvg(const std::vector<DiagramBox>& boxes,
                                                       const std::vector<DiagramArrow>& arrows) const {
  if (!module_ || !context_) return std::nullopt;
  return module_->makeSvg(context_, boxes, arrows);
}

}  // namespace morvane::htmldoc
