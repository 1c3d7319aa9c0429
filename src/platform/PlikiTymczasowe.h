#pragma once
// Temporary and work files that nobody can hijack and that never pile up.
//
// A temporary file is created under a name nobody can predict, with O_CREAT | O_EXCL |
// O_NOFOLLOW, so a symbolic link planted in a shared folder can never redirect the write; it is
// renamed over its target when complete. Its name carries the mark of the program folder whose
// run made it (".N_serwis.wav.1f2e3d4c-Q7xk2P.part"), so a run that holds that folder's lock
// knows every file of its mark as stale, left by a killed run, and removes it, while the files
// of another installation delivering into the same playout folder are never touched.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tolvak {

/// The mark of one program folder on one machine: eight hexadecimal digits of a hash of the
/// host name and the folder's absolute path.
std::string ZnacznikFolderu(const std::filesystem::path& folderProgramu);

/// A temporary file beside its target, open for writing; removed at destruction unless it has
/// replaced the target.
class PlikTymczasowy {
public:
    /// Creates "." + the target's name + "." + znacznik + "-" + six random letters or digits +
    /// ".part" in the target's folder. Throws the error of platform/Bledy.h (creating `cel`).
    PlikTymczasowy(const std::filesystem::path& cel, std::string_view znacznik);
    ~PlikTymczasowy();
    PlikTymczasowy(const PlikTymczasowy&) = delete;
    PlikTymczasowy& operator=(const PlikTymczasowy&) = delete;

    int fd() const { return fd_; }
    const std::filesystem::path& sciezka() const { return sciezka_; }

    /// Flushes the bytes to the disk, closes the file, renames it over the target and syncs the
    /// target's folder, so that after a power cut the target holds the new bytes or the old
    /// ones. Throws the error of platform/Bledy.h naming the target.
    void ZastapCel();

private:
    std::filesystem::path cel_;
    std::filesystem::path sciezka_;
    int fd_ = -1;
    bool zastapiony_ = false;
};

/// Creates an empty file "." + the target's name + ".tmp-" + six random letters or digits beside
/// `cel` (the atomic writes' pattern, for a work file's own temporary file) with O_CREAT |
/// O_EXCL | O_NOFOLLOW and sets `sciezka` to it. Returns the descriptor, or -1 with errno set.
int UtworzTymczasowyRoboczy(const std::filesystem::path& cel, std::filesystem::path& sciezka);

/// Creates the work file `plik` afresh for reading and writing at its fixed name: whatever is
/// there, a file or a link planted there, is removed first, and the file is created with
/// O_CREAT | O_EXCL | O_NOFOLLOW, so a link is never followed. Returns the descriptor; throws
/// the error of platform/Bledy.h.
int UtworzPlikRoboczy(const std::filesystem::path& plik);

/// Makes the entries of `folder` (a rename into it) durable. A file system that cannot sync a
/// folder is accepted; an input-output error throws the error of platform/Bledy.h naming
/// `plik`, the file whose arrival is at stake.
void SynchronizujFolder(const std::filesystem::path& folder, const std::filesystem::path& plik);

/// True when `nazwa` is a temporary file of the program folder marked `znacznik`: a
/// PlikTymczasowy of that mark or, for one of `wlasne` (the program folder's own file names), an
/// atomic write's or a work file's ".NAME.tmp-XXXXXX".
bool CzyPlikTymczasowy(std::string_view nazwa, std::string_view znacznik,
                       std::initializer_list<std::string_view> wlasne = {});

/// Removes from `folder` every file for which CzyPlikTymczasowy holds (a link is removed, not
/// followed; folders are left alone) and returns how many it removed. Only a run that holds the
/// program folder's lock may call it: then no such file belongs to a run under way. Never throws.
int UsunPlikiTymczasowe(const std::filesystem::path& folder, std::string_view znacznik,
                        std::initializer_list<std::string_view> wlasne = {});

/// Removes from `folder` every file whose name begins with `przedrostek` (the fetched work files
/// "tvss" + whatever extension a server named), except `zachowaj` (a file the operator gave to
/// use in place); a link is removed, not followed, and folders are left alone. Returns how many
/// it removed. Only while holding the program folder's lock, before any fetch. Never throws.
int UsunPlikiPobrane(const std::filesystem::path& folder, std::string_view przedrostek,
                     const std::filesystem::path& zachowaj = {});

}  // namespace tolvak
