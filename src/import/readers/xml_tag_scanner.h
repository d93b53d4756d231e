// A fast reader of XML package parts for the common case: UTF-8 text without a
// document type declaration. It hands the same Start/End/Text events to an
// XmlHandler as the expat parse would (text may come in other pieces; joined it
// is the same; an element holding only a plain text goes to Leaf, which stands
// for its three events), and checks what makes a document well-formed as far as it reads
// it. It gives up, returning false, on everything it leaves to expat: document
// type declarations, entity references other than the five predefined ones and
// numeric character references, other
// encodings than UTF-8, non-ASCII names, tags or text runs over 1 MB, and any
// malformation (expat then reports it).
//
// Whether it gives up depends only on the bytes it has read, never on the
// handler, so a part it read to some point once it reads again to that point.
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
