#pragma once
// The feed lookup shared by the IAR check and the IAR fetch: the feed's first item, read
// through a fresh feed client into the window's XML document.

#include <pugixml.hpp>

#include <string>

#include "sources/Transfer.h"

namespace tolvak {

enum class WynikKanalu {
    BrakKanalu,    // no address, the request failed, or the body is empty
    BrakElementu,  // the body is no XML, the root has no children, or there is no "item"
    Element,       // `item` holds the first item
};

struct ElementKanalu {
    WynikKanalu wynik = WynikKanalu::BrakKanalu;
    pugi::xml_node item;  // valid while the document is not loaded again
    /// Why there is no feed, or why its body is no XML: the failed request's reason or the
    /// parser's; empty when the feed simply holds no item yet.
    std::string powod;
};

/// Looks up the first "item" among the children of the first child of the root element of
/// the feed at `adres` (surrounding blanks removed), parsed as UTF-8 into `XMLDocument1`.
ElementKanalu WyszukajElementKanalu(const std::string& adres, pugi::xml_document& XMLDocument1,
                                    Okno& okno, const LimityTransferu& limity);

/// The text of an element: all its text and CDATA below it, in document order; empty for a
/// missing element.
std::string TekstElementu(pugi::xml_node element);

}  // namespace tolvak
