#include "app/qt/SygnalyZakonczenia.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <system_error>

namespace tolvak {

namespace {

std::atomic<int> g_liczba{0};
std::atomic<int> g_zapis{-1};

extern "C" void naSygnal(int sygnal) {
    if (g_liczba.fetch_add(1) > 0) {
        // Abandon whatever is under way: files are only ever replaced whole, so nothing half
        // written is left under a final name.
        std::signal(sygnal, SIG_DFL);
        std::raise(sygnal);
        return;
    }
    const int fd = g_zapis.load();
    const unsigned char bajt = static_cast<unsigned char>(sygnal);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &bajt, 1);
    }
}

}  // namespace

SygnalyZakonczenia::SygnalyZakonczenia(std::function<void(int)> naPierwszy)
    : naPierwszy_(std::move(naPierwszy)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    g_liczba = 0;
    g_zapis = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        unsigned char bajt = 0;
        while (::read(pipe_[0], &bajt, 1) == 1)
            if (naPierwszy_) naPierwszy_(bajt);
    });
    struct sigaction sa{};
    sa.sa_handler = naSygnal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

SygnalyZakonczenia::~SygnalyZakonczenia() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    g_zapis = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

}  // namespace tolvak
