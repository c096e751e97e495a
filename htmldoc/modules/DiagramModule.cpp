#include "htmldoc/SchemaDiagram.h"
#include "platform/loader/ModuleLoader.h"

#include <gvc.h>

#include <memory>

#include "htmldoc/HtmlText.h"

extern "C" {
extern gvplugin_library_t gvplugin_core_LTX_library;
extern gvplugin_library_t gvplugin_dot_layout_LTX_library;
}

namespace morvane::htmldoc {
namespace {

// Only the dot layout and the SVG writer, linked in: no plugin configuration file is read, and
// text is measured by Graphviz's own estimate, so a diagram is the same on every machine.
lt_symlist_t kPlugins[] = {
    {"gvplugin_core_LTX_library", &gvplugin_core_LTX_library},
    {"gvplugin_dot_layout_LTX_library", &gvplugin_dot_layout_LTX_library},
    {nullptr, nullptr},
};

constexpr std::size_t kFullSearchBoxes = 40;

// Graphviz's messages would go to stderr; a failed layout is reported by its result instead.
int quiet(char*) { return 0; }

// A cell's text as a Graphviz plain label or tooltip: Graphviz reads "&...;" as an entity and
// "\x" as an escape, and escapes <, > and " itself. A control character would make the SVG
// invalid XML, and a line break would start a label line.
std::string graphvizText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

void set(void* object, const char* name, const std::string& value) {
  agsafeset(object, const_cast<char*>(name), const_cast<char*>(value.c_str()), const_cast<char*>(""));
}

struct GraphClose {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

void* openContext() {
  agseterrf(quiet);
  return gvContextPlugins(kPlugins, 0);
}

void closeContext(void* context) { gvFreeContext(static_cast<GVC_t*>(context)); }

std::optional<std::string> makeSvg(void* context, const std::vector<DiagramBox>& boxes,
                                   const std::vector<DiagramArrow>& arrows) {
  auto* gvc = static_cast<GVC_t*>(context);
  std::unique_ptr<Agraph_t, GraphClose> graph(agopen(const_cast<char*>("schema"), Agdirected, nullptr));
  Agraph_t* g = graph.get();
  const auto attr = [&](int kind, const char* name, const char* value) {
    agattr(g, kind, const_cast<char*>(name), const_cast<char*>(value));
  };
  attr(AGRAPH, "rankdir", "LR");
  attr(AGRAPH, "nodesep", "0.3");
  // dot's ranking and crossing passes grow much faster than the graph: without limits 200 tables
  // in a chain of references take minutes. A small diagram keeps the full search.
  if (boxes.size() > kFullSearchBoxes) {
    attr(AGRAPH, "nslimit", "1");
    attr(AGRAPH, "nslimit1", "1");
    attr(AGRAPH, "mclimit", "0.1");
  }
  attr(AGNODE, "shape", "box");
  attr(AGNODE, "style", "rounded,filled");
  attr(AGNODE, "fillcolor", "#CCFF99");
  attr(AGNODE, "color", "#6633CC");
  attr(AGNODE, "fontname", "sans-Serif");
  attr(AGNODE, "fontsize", "11");
  attr(AGEDGE, "color", "#6633CC");
  std::vector<Agnode_t*> nodes;
  nodes.reserve(boxes.size());
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const DiagramBox& box = boxes[i];
    // Node names are numbers: Graphviz writes them into the SVG unescaped in places.
    Agnode_t* node = agnode(g, const_cast<char*>(("t" + std::to_string(i)).c_str()), 1);
    std::string label = graphvizText(box.name) + "\\n";
    if (!box.logicalName.empty()) label += graphvizText(box.logicalName) + "\\n";
    for (const auto& line : box.keyLines) label += graphvizText(line) + "\\l";
    set(node, "label", label);
    set(node, "tooltip", graphvizText(box.name));
    set(node, "URL", encodeDiagramLink(box.page));
    nodes.push_back(node);
  }
  for (const auto& arrow : arrows) {
    if (arrow.from < nodes.size() && arrow.to < nodes.size()) agedge(g, nodes[arrow.from], nodes[arrow.to], nullptr, 1);
  }
  if (gvLayout(gvc, g, "dot") != 0) return std::nullopt;
  char* data = nullptr;
  unsigned int length = 0;
  const int rendered = gvRenderData(gvc, g, "svg", &data, &length);
  std::string svg = rendered == 0 && data ? std::string(data, length) : std::string();
  if (data) gvFreeRenderData(data);
  gvFreeLayout(gvc, g);
  // Inside a page only the element itself: no XML declaration, doctype or comments before it,
  // and no line break, as every page of the set is one line.
  const auto start = svg.find("<svg");
  if (start == std::string::npos) return std::nullopt;
  svg.erase(0, start);
  for (char& c : svg) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!svg.empty() && svg.back() == ' ') svg.pop_back();
  return svg;
}

constexpr DiagramModule kModule{openContext, closeContext, makeSvg};

}  // namespace
}  // namespace morvane::htmldoc

MORVANE_MODULE_ENTRY { return &morvane::htmldoc::kModule; }
