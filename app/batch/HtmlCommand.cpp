#include <filesystem>
#include <iostream>

#include "app/batch/BatchOptions.h"
#include "app/batch/OutputFolder.h"
#include "app/batch/TerminalProgress.h"
#include "htmldoc/clsHTMLDoc.h"
#include "platform/files/Files.h"
#include "platform/text/VisibleText.h"

namespace morvane::batch {

int writeHtml(const BatchOptions& options, const clsDBInfo& selected) {
  if (interrupted()) return 1;
  clsHTMLDoc writer;
  writer.setTitle(options.title ? *options.title
                                : std::filesystem::path(options.workbook).filename().string());
  // The pages are one line each: only the code applies to them, not --eol.
  writer.setEncoding({options.encoding.charset, platform::LineEnd::CrLf});
  if (!ensureOutputFolder("--html", options.htmlDir)) return 1;
  TerminalProgress progress("ドキュメント作成");
  int status = 0;
  try {
    if (writer.fnWriteFile(selected, options.htmlDir, progress).cancelled) status = 1;
  } catch (const platform::FileError& error) {
    // A table name may hold a line break or an escape; the reason stays one visible line.
    progress.message() << "morvane-batch: " << platform::visibleText(error.what()) << "\n";
    status = 1;
  }
  // Judged before the first file was written, so known however the set ended.
  for (const auto& page : writer.getRefused()) {
    progress.message() << "morvane-batch: テーブル「" << platform::visibleText(page.table->getName())
                       << "」のページを作成できません: " << platform::visibleText(page.reason) << "\n";
    status = 1;
  }
  return status;
}

}  // namespace morvane::batch
