// Streaming XML parsing of package parts with expat, made safe for files from
// anywhere: a document type declaration or an entity declaration stops the parse
// (kUnsafe), so no entity is ever expanded and no external resource is loaded.
// Handlers see element and attribute names without their namespace prefix, so
// transitional, strict and oddly prefixed documents read alike.
#pragma once

#include <string_view>

#include "import/readers/zip_package.h"

namespace sorvane::readers {

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // `attrs` alternates names and values, null-terminated, as expat gives them.
  virtual void Start(std::string_view name, const char** attrs) = 0;
  virtual void End(std::string_view name) = 0;
  virtual void Text(const char* /*text*/, int /*len*/) {}
  // Whether Start needs the attributes of element `name`; a handler that does
  // not lets the fast tag scanner skip them.
  virtual bool WantsAttributes(std::string_view /*name*/) const { return true; }
  // An element without attributes or children, "<name>text</name>" (the text
  // may be empty): the fast tag scanner hands it over in one call. Whatever it
  // does must be what Start, Text (for a text that is not empty) and End in
  // turn do, and this is what it does unless a handler overrides it.
  virtual void Leaf(std::string_view name, std::string_view text);
  // Leaf's steps for a handler of type H; for a final H the compiler calls
  // them directly.
  template <typename H>
  static void LeafSteps(H& handler, std::string_view name, std::string_view text) {
    static const char* no_attributes[] = {nullptr};
    handler.Start(name, no_attributes);
    if (handler.stopped()) return;
    if (!text.empty()) handler.Text(text.data(), static_cast<int>(text.size()));
    handler.End(name);
  }
  // Ends the parse early once the handler has what it needs.
  void Stop() { stop_ = true; }
  bool stopped() const { return stop_; }

 private:
  bool stop_ = false;
};

// The name after its namespace prefix ("x:c" -> "c").
std::string_view LocalName(const char* name);
// The value of the attribute whose local name is `local`, or null; namespace
// declarations are never matched.
const char* Attr(const char** attrs, std::string_view local);

// Parses the part `name` of `zip` into `handler`. Fails with kDamaged on
// malformed XML and kUnsafe on DTDs; exceptions thrown by the handler pass
// through.
void ParseXmlPart(ZipPackage& zip, std::string_view name, XmlHandler& handler);
// The same for a document in memory; `name` stands for it in messages (none:
// the file itself).
void ParseXmlText(std::string_view xml, std::string_view name, XmlHandler& handler);

}  // namespace sorvane::readers
