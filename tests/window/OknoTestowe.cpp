#include "OknoTestowe.h"

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Ini.h"

namespace tolvak::test {


void Modalne::Odpowiedz(std::function<void(QWidget*)> odpowiedz) {
    odpowiedz_ = std::move(odpowiedz);
    QTimer::singleShot(0, [this] { Czekaj(); });
}

void Modalne::Czekaj() {
    // The modal window opens inside the click that is being handled; look again shortly.
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible()) {
        QTimer::singleShot(2, [this] { Czekaj(); });
        return;
    }
    ++ile_;
    const auto* box = qobject_cast<QMessageBox*>(w);
    Widziane.emplace_back(w->windowTitle(), box ? box->text() : QString());
    auto odpowiedz = std::move(odpowiedz_);
    odpowiedz_ = nullptr;
    if (odpowiedz) odpowiedz(w);
}

void Zamknij(QWidget* modalny) {
    if (auto* box = qobject_cast<QMessageBox*>(modalny)) {
        box->done(QMessageBox::Ok);
    } else if (auto* d = qobject_cast<QDialog*>(modalny)) {
        d->reject();
    }
}

void OknoTest::SetUp() {
    setenv("TOLVAK_ONLINE", "1", 1);
    pompa = std::make_unique<QtEventPump>();
}

void OknoTest::TearDown() {
    if (okno) okno->hide();
    okno.reset();
    pompa.reset();
    unsetenv("TOLVAK_ONLINE");
}

void OknoTest::Ini(const std::string& tresc) {
    std::ofstream(dir / "tolvak.ini", std::ios::binary) << tresc;
}

void OknoTest::Uruchom() {
    okno = std::make_unique<TForm1>(ParametryOkna{dir.path(), dir.path(), &clock, true});
    ASSERT_TRUE(okno->FormCreate());
    okno->show();
    okno->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(okno.get(), 2000));
}

std::string OknoTest::Klucz(const char* klucz, const char* sekcja) const {
    return IniFile(dir / "tolvak.ini").ReadString(sekcja, klucz, "<brak>");
}

std::vector<std::string> OknoTest::Klucze(const char* sekcja) const {
    return IniFile(dir / "tolvak.ini").ReadSection(sekcja);
}

std::vector<std::string> OknoTest::Log() const {
    std::ifstream in(dir / "log.txt", std::ios::binary);
    std::vector<std::string> linie;
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        // "yyyy-MM-dd HH:mm:ss: message"
        const auto p = l.find(": ", 11);
        // The settings findings of every start have their own tests.
        if (l.find(": Konfiguracja: ", 11) == p) continue;
        linie.insert(linie.begin(), p == std::string::npos ? l : l.substr(p + 2));
    }
    return linie;
}

void OknoTest::Klik(const char* nazwa) {
    auto* b = Kontrolka<QAbstractButton>(nazwa);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

}  // namespace tolvak::test
