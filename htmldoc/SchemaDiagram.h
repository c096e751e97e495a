#pragma once
// Diagrams of tables and their references, laid out by Graphviz in the process (in the diagram
// module, loaded at the first diagram) and drawn as SVG to be placed inside a page of the
// documentation set.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

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

// What the diagram module gives: a Graphviz context, and the SVG of one diagram in it.
struct DiagramModule {
  void* (*open)();
  void (*close)(void* context);
  std::optional<std::string> (*makeSvg)(void* context, const std::vector<DiagramBox>& boxes,
                                        const std::vector<DiagramArrow>& arrows);
};

// Graphviz keeps global state and is not thread-safe: one diagram maker per set, on one thread.
class clsSchemaDiagram {
 public:
  clsSchemaDiagram();
  ~clsSchemaDiagram();
  clsSchemaDiagram(const clsSchemaDiagram&) = delete;
  clsSchemaDiagram& operator=(const clsSchemaDiagram&) = delete;

  // The <svg> element on one line, every text escaped and every link percent-encoded; nothing
  // when Graphviz could not lay the diagram out or its module could not be loaded.
  std::optional<std::string> fnMakeSvg(const std::vector<DiagramBox>& boxes,
                                       const std::vector<DiagramArrow>& arrows) const;

 private:
  const DiagramModule* module_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace morvane::htmldoc
