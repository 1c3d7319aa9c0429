#pragma once
// Qt's own texts in Polish: the standard buttons ("Anuluj", "Otwórz") and the file dialogs.

namespace tolvak::okno {

/// Installs Qt's Polish translation (qtbase_pl.qm from Qt's translations folder) into the
/// running application, once; false when the file is not installed (Qt then speaks English).
bool ZaladujTlumaczenia();

}  // namespace tolvak::okno
