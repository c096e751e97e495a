#pragma once
// Diagrams of tables and their references, laid out by Graphviz in the process and drawn as SVG
// to be placed inside a page of the documentation set.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct GVC_s;

namespace morvane::htmldoc {

struct DiagramBox {
  std::string name;
  std::string logicalName;            // shown under the name when not empty
  std::vector<std::string> keyLines;  // the marked key columns, one line each
  std::string page;                   // the file the box links to, e.g. "T.htm"
};

struct DiagramArrow {
  std::size_t from;  // the referring box
  std::size_t to;    // the referred box
};

// Graphviz keeps global state and is not thread-safe: one diagram maker per set, on one thread.
class clsSchemaDiagram {
 public:
  clsSchemaDiagram();
  ~clsSchemaDiagram();
  clsSchemaDiagram(const clsSchemaDiagram&) = delete;
  clsSchemaDiagram& operator=(const clsSchemaDiagram&) = delete;

  // The <svg> element on one line, every text escaped and every link percent-encoded; nothing
  // when Graphviz could not lay the diagram out.
  std::optional<std::string> fnMakeSvg(const std::vector<DiagramBox>& boxes,
                                       const std::vector<DiagramArrow>& arrows) const;

 private:
  GVC_s* context_;
};

}  // namespace morvane::htmldoc
