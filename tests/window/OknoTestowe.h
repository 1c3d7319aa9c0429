#pragma once
// What the window tests share: the application on the offscreen platform, a program folder
// with its settings file, the main window started on it, and helpers that find controls by
// name, answer the modal dialog that a click opens, and read the settings and the log.

#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "app/qt/QtEventPump.h"
#include "app/window/Form1.h"
#include "platform/Clock.h"

namespace tolvak::test {

/// Runs `odpowiedz` on the next modal window that opens (message box or dialog), from inside
/// its own event loop, and counts it. The answer must close the window.
class Modalne {
public:
    void Odpowiedz(std::function<void(QWidget*)> odpowiedz);
    int Ile() const { return ile_; }
    /// Title and text (message boxes) of every modal window answered, in order.
    std::vector<std::pair<QString, QString>> Widziane;

private:
    void Czekaj();
    std::function<void(QWidget*)> odpowiedz_;
    int ile_ = 0;
};

/// Closes a message box or dialog (OK for a message box, reject for a dialog).
void Zamknij(QWidget* modalny);

class OknoTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Writes the settings file before the window starts.
    void Ini(const std::string& tresc);
    /// Creates the window (FormCreate) and shows it (FormShow).
    void Uruchom();
    template <class T>
    T* Kontrolka(const char* nazwa) const {
        T* w = okno->findChild<T*>(QString::fromLatin1(nazwa));
        EXPECT_NE(w, nullptr) << nazwa;
        return w;
    }
    std::string Klucz(const char* klucz, const char* sekcja = "Ustawienia") const;
    /// Key names of a section in file order (writes of new keys append them).
    std::vector<std::string> Klucze(const char* sekcja = "Ustawienia") const;
    /// The log's messages, oldest first, without their time stamps.
    std::vector<std::string> Log() const;
    void Klik(const char* nazwa);

    TempDir dir;
    ManualClock clock{LocalTime{2024, 5, 6, 13, 40, 0, 0}};
    std::unique_ptr<QtEventPump> pompa;
    std::unique_ptr<TForm1> okno;
    Modalne modalne;
};

}  // namespace tolvak::test
