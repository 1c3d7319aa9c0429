#include "support/TempDir.h"

#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace tolvak::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tolvak-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace tolvak::test
