#include "SerwerFTP.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace tolvak::test {

namespace {

constexpr const char* kSkrypt = R"(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
konta = DummyAuthorizer()
konta.add_user(sys.argv[2], sys.argv[3], sys.argv[1], perm="elr")
class Obsluga(FTPHandler):
    authorizer = konta
    auth_failed_timeout = 0.05
class Kroplami(ThrottledDTPHandler):
    write_limit = ac_out_buffer_size = int(sys.argv[4])
if Kroplami.write_limit: Obsluga.dtp_handler = Kroplami
serwer = FTPServer(("127.0.0.1", 0), Obsluga)
print(serwer.socket.getsockname()[1], flush=True)
serwer.serve_forever()
)";

}  // namespace

SerwerFTP::SerwerFTP(const std::filesystem::path& folder, const std::string& login, const std::string& haslo,
                     int bajtowNaSekunde) {
    std::filesystem::create_directories(folder);
    int rura[2];
    if (::pipe(rura) != 0) throw std::runtime_error("ftp server: pipe");
    const std::string f = folder.string(), tempo = std::to_string(bajtowNaSekunde);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(rura[1], 1);
        ::close(rura[0]);
        ::execl("/usr/bin/python3", "python3", "-c", kSkrypt, f.c_str(), login.c_str(), haslo.c_str(),
                tempo.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(rura[1]);
    std::string linia;
    pollfd p{rura[0], POLLIN, 0};
    char c;
    while (linia.find('\n') == std::string::npos && ::poll(&p, 1, 10000) == 1 && ::read(rura[0], &c, 1) == 1)
        linia += c;
    ::close(rura[0]);
    port_ = std::atoi(linia.c_str());
    if (port_ <= 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("ftp server did not start (python3-pyftpdlib missing?)");
    }
}

SerwerFTP::~SerwerFTP() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

}  // namespace tolvak::test
