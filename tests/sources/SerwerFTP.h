#pragma once
// A real FTP server for the tests: pyftpdlib under Debian's /usr/bin/python3, on 127.0.0.1 on a
// free port, serving a folder (made when missing) read-only to one account. Stopped (and waited for) on
// destruction; it also ends when the test process dies.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace tolvak::test {

class SerwerFTP {
public:
    SerwerFTP(const std::filesystem::path& folder, const std::string& login, const std::string& haslo,
              int bajtowNaSekunde = 0);  // > 0: downloads trickle at about that pace
    ~SerwerFTP();
    SerwerFTP(const SerwerFTP&) = delete;
    SerwerFTP& operator=(const SerwerFTP&) = delete;

    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace tolvak::test
