// A fast reader of the tags of an XML part, for the pass that only needs element
// names and attributes (finding a sheet's used range). It hands the same
// Start/End events to an XmlHandler as the expat parse would, without text. It
// does not check well-formedness (the expat pass that follows does) and it
// gives up, returning false, on anything it leaves to expat: document type
// declarations, entity references in attributes, UTF-16 text, tags over 1 MB.
#pragma once

#include <string_view>

#include "import/readers/xml_part.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

// Scans the part `name` into `handler` until the part ends or the handler stops.
// False when the part must be parsed with expat instead (the handler then has
// seen only a prefix of the events and must be discarded).
bool ScanXmlTags(ZipPackage& zip, std::string_view name, XmlHandler& handler);

}  // namespace sorvane::readers
