#pragma once
// A small HTTP/HTTPS server on 127.0.0.1 for the tests and benchmarks: a free port, one thread
// per connection, one response per connection, every request recorded. HTTPS uses a
// self-signed certificate made when the first such server starts.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace tolvak::test {

using Naglowki = std::vector<std::pair<std::string, std::string>>;

struct Zadanie {
    std::string metoda;
    std::string cel;  // path and query as sent
    Naglowki naglowki;
    /// The header's value, its name matched without regard to case; empty when absent.
    std::string Naglowek(std::string_view nazwa) const;
};

struct Odpowiedz {
    int kod = 200;
    std::string powod = "OK";
    Naglowki naglowki;
    std::string tresc;
    /// When set, more body follows `tresc`: each call fills the next piece (it may take its
    /// time); false ends the body, which the closed connection then delimits.
    std::function<bool(std::string&)> dalej;
    /// Read the request and then send nothing until the server stops.
    bool milcz = false;
};

class SerwerHTTP {
public:
    enum class Tryb { Http, Https, Tls10 };
    using Obsluga = std::function<Odpowiedz(const Zadanie&)>;

    explicit SerwerHTTP(Obsluga obsluga, Tryb tryb = Tryb::Http);
    ~SerwerHTTP();
    SerwerHTTP(const SerwerHTTP&) = delete;
    SerwerHTTP& operator=(const SerwerHTTP&) = delete;

    int Port() const { return port_; }
    /// "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT", without a trailing "/".
    std::string Adres() const;
    std::vector<Zadanie> Zadania() const;
    /// True once the server is stopping (for `dalej` callbacks that pace themselves).
    bool Zatrzymany() const { return stop_; }

private:
    void Przyjmuj();
    void Obsluz(int fd);

    Obsluga obsluga_;
    Tryb tryb_;
    void* tls_ = nullptr;  // SSL_CTX
    int nasluch_ = -1;
    int port_ = 0;
    int budzik_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<Zadanie> zadania_;
    std::vector<int> polaczenia_;
    std::vector<std::thread> watki_;
    std::thread przyjmowanie_;
};

/// A port whose listener never accepts and whose backlog is full: connecting to it hangs
/// until the client's connect time-out.
class ZatkanyPort {
public:
    ZatkanyPort();
    ~ZatkanyPort();
    int Port() const { return port_; }

private:
    int nasluch_ = -1;
    int port_ = 0;
    std::vector<int> zatyczki_;
};

}  // namespace tolvak::test
