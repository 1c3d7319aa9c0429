#include "support/TempDir.h"

#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace tolvak::test {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) {}

TempDir::TempDir(const std::filesystem::path& root) {
    std::string tmpl = (root / "tolvak-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace tolvak::test
