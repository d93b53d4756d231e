#include "import/readers/xml_part.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "import/readers/read_failure.h"

namespace sorvane::readers {

std::string_view LocalName(const char* name) {
  // One pass: this runs for every element and attribute of a sheet.
  const char* start = name;
  const char* p = name;
  for (; *p != '\0'; ++p) {
    if (*p == ':') start = p + 1;
  }
  return std::string_view(start, static_cast<size_t>(p - start));
}

const char* Attr(const char** attrs, std::string_view local) {
  for (; attrs[0] != nullptr; attrs += 2) {
    if (attrs[0][0] == 'x' && std::strncmp(attrs[0], "xmlns", 5) == 0) continue;
    if (LocalName(attrs[0]) == local) return attrs[1];
  }
  return nullptr;
}

void XmlHandler::Leaf(std::string_view name, std::string_view text) {
  LeafSteps(*this, name, text);
}

namespace {

struct Context {
  XML_Parser parser;
  XmlHandler* handler;
  std::exception_ptr error;
};

// Expat is C: nothing may unwind through it, so a handler's exception waits
// here until the parse call has returned.
template <typename F>
void Guard(void* data, F&& f) {
  auto* ctx = static_cast<Context*>(data);
  if (ctx->error) return;
  try {
    f(*ctx);
  } catch (...) {
    ctx->error = std::current_exception();
    XML_StopParser(ctx->parser, XML_FALSE);
    return;
  }
  if (ctx->handler->stopped()) XML_StopParser(ctx->parser, XML_FALSE);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attrs) {
  Guard(data, [&](Context& c) { c.handler->Start(LocalName(name), attrs); });
}
void XMLCALL OnEnd(void* data, const XML_Char* name) {
  Guard(data, [&](Context& c) { c.handler->End(LocalName(name)); });
}
void XMLCALL OnText(void* data, const XML_Char* s, int len) {
  Guard(data, [&](Context& c) { c.handler->Text(s, len); });
}

void Refuse(void* data) {
  Guard(data, [](Context&) {
    Fail(WorkbookError::Reason::kUnsafe,
         "it contains an XML document type or entity declaration, which is refused for "
         "safety");
  });
}
void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  Refuse(data);
}
void XMLCALL OnEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                          const XML_Char*, const XML_Char*, const XML_Char*) {
  Refuse(data);
}

struct FreeParser {
  void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

}  // namespace

namespace {

// Parses the chunks that `source` hands to its sink (which returns false once
// the handler stopped); `name` stands for the document in messages.
void ParseChunks(
    std::string_view name, XmlHandler& handler,
    const std::function<void(const std::function<bool(const char*, size_t)>&)>& source) {
  std::unique_ptr<XML_ParserStruct, FreeParser> parser(XML_ParserCreate(nullptr));
  if (!parser) throw std::bad_alloc();
  XML_Parser p = parser.get();
  Context ctx{p, &handler, nullptr};
  XML_SetUserData(p, &ctx);
  XML_SetElementHandler(p, OnStart, OnEnd);
  XML_SetCharacterDataHandler(p, OnText);
  XML_SetDoctypeDeclHandler(p, OnDoctype, nullptr);
  XML_SetEntityDeclHandler(p, OnEntityDecl);
  XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);

  bool done = false;
  auto check = [&](XML_Status status) {
    if (ctx.error) std::rethrow_exception(ctx.error);
    if (handler.stopped()) {
      done = true;
      return;
    }
    if (status == XML_STATUS_ERROR) {
      Damaged((name.empty() ? "its XML" : "the part \"" + std::string(name) + "\"") +
              " is not well-formed XML: " + XML_ErrorString(XML_GetErrorCode(p)) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(p)));
    }
  };
  source([&](const char* data, size_t size) {
    check(XML_Parse(p, data, static_cast<int>(size), XML_FALSE));
    return !done;
  });
  if (!done) check(XML_Parse(p, "", 0, XML_TRUE));
}

}  // namespace

void ParseXmlPart(ZipPackage& zip, std::string_view name, XmlHandler& handler) {
  ParseChunks(name, handler,
              [&](const std::function<bool(const char*, size_t)>& sink) { zip.Read(name, sink); });
}

void ParseXmlText(std::string_view xml, std::string_view name, XmlHandler& handler) {
  ParseChunks(name, handler, [&](const std::function<bool(const char*, size_t)>& sink) {
    constexpr size_t kChunk = 1 << 20;  // expat takes int lengths
    for (size_t at = 0; at < xml.size(); at += kChunk) {
      if (!sink(xml.data() + at, std::min(kChunk, xml.size() - at))) return;
    }
  });
}

}  // namespace sorvane::readers
