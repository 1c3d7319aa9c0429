#include "sources/Kanal.h"

#include "sources/KlientHTTP.h"
#include "sources/Tekst.h"

namespace tolvak {

ElementKanalu WyszukajElementKanalu(const std::string& adres, pugi::xml_document& XMLDocument1,
                                    Okno& okno, const LimityTransferu& limity) {
    ElementKanalu w;
    const std::string url = Przytnij(adres);
    if (url.empty()) return w;
    std::string tresc;
    try {
        KlientHTTP klient(okno, UstawieniaHTTP::Kanalu(), limity);
        tresc = klient.Get(url);
    } catch (const BladTransferu& e) {
        w.powod = e.what();
        return w;
    }
    if (tresc.empty()) {
        w.powod = "Pusta odpowiedź serwera (" + url.substr(0, url.find('?')) + ")";
        return w;
    }

    w.wynik = WynikKanalu::BrakElementu;
    XMLDocument1.reset();
    const pugi::xml_parse_result r =
        XMLDocument1.load_buffer(tresc.data(), tresc.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!r) {
        w.powod = std::string("Nieprawidłowy plik XML: ") + r.description() + " (bajt " +
                  std::to_string(r.offset) + ")";
        return w;
    }
    const pugi::xml_node kanal = XMLDocument1.document_element().first_child();
    if (!kanal) return w;
    w.item = kanal.child("item");
    if (w.item) w.wynik = WynikKanalu::Element;
    return w;
}

std::string TekstElementu(pugi::xml_node element) {
    std::string tekst;
    for (pugi::xml_node n = element.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) tekst += n.value();
        else if (n.type() == pugi::node_element) tekst += TekstElementu(n);
    }
    return tekst;
}

}  // namespace tolvak
