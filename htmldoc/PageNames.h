#pragma once
// Which selected tables can have a page in the documentation set, decided before any file is
// written so that the set never stops half way.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/clsDBInfo.h"

namespace morvane::htmldoc {

// A selected table whose page cannot be written, with the one-line reason.
struct RefusedPage {
  TablePtr table;
  std::string reason;
};

struct PageSelection {
  std::vector<TablePtr> writable;  // in selection order
  std::vector<RefusedPage> refused;  // in selection order
};

// The stem of the diagram page that a set with references holds.
inline constexpr std::string_view kDiagramPage = "diagram";

// The longest file name the set writes, in bytes (the usual file system limit).
inline constexpr std::size_t kPageNameMax = 255;

// Splits the selected tables: a page is refused when its name would leave the folder or is no
// file name (empty, ".", "..", '/', '\\', NUL), when it would be one of the set's own pages
// (index, leftframe, rightframe, in any letter case: a case-blind file system makes them one),
// or when "name.htm" is longer than kPageNameMax bytes. With a diagram, its page is one of the
// set's own pages too.
PageSelection selectWritablePages(const std::vector<TablePtr>& tables, bool withDiagram = false);

}  // namespace morvane::htmldoc
