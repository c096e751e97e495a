// --check: the design document's findings, one a line or as one JSON document.
#include <iostream>

#include <nlohmann/json.hpp>

#include "app/batch/BatchOptions.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/DesignCheck.h"

namespace morvane::batch {

int checkDesignDocument(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& model,
                        const clsDBInfo& selected) {
  const std::vector<Finding> findings = checkDesign(selected, *settings.types, settings.layout, model);
  const FindingCounts counts = countFindings(findings);
  if (options.checkFormat == CheckFormat::Json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& finding : findings) {
      list.push_back({{"sheet", finding.sheet},
                      {"cell", finding.cell},
                      {"severity", severityId(finding.severity)},
                      {"rule", finding.rule},
                      {"table", finding.table},
                      {"field", finding.field ? nlohmann::ordered_json(*finding.field) : nlohmann::ordered_json()},
                      {"message", finding.message}});
    }
    const nlohmann::ordered_json document{{"findings", list}, {"errors", counts.errors}, {"warnings", counts.warnings}};
    std::cout << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  } else {
    for (const auto& finding : findings) {
      std::cout << platform::visibleText(finding.sheet + "!" + finding.cell + ": " +
                                         std::string(severityLabel(finding.severity)) + ": " + finding.message)
                << "\n";
    }
    std::cerr << "morvane-batch: チェック: エラー " << counts.errors << " 件、警告 " << counts.warnings << " 件\n";
  }
  return counts.errors > 0 ? 1 : 0;
}

}  // namespace morvane::batch
