#pragma once
// Weather sponsors and the joining of WAV files.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvak {

/// Joins WAV files with the plain 44-byte header: the first file whole, header included, then
/// the samples (from byte 44 on) of every later file; then the RIFF size (offset 4) and the
/// data size (offset 40) of `OutputFile` are set from its length. Missing entries are skipped;
/// the first existing entry gives the header. Throws std::runtime_error when a file cannot be
/// created, opened, read or written; the output is closed in every case.
void JoinWaves(const std::vector<std::string>& FileList, const std::string& OutputFile);

/// True when a sponsor value names an existing file whose extension, in lower case, is ".wav".
bool CzySponsorUzyteczny(const std::string& wartosc);

/// The sponsor step of a weather production. Reads the six keys of section "PogodaSponsorzy"
/// of `ini` in order (Sponsor1Przed..3Przed, Sponsor1Po..3Po), writing each value back as read,
/// and when any sponsor is usable joins before-sponsors, `tvtemp` and after-sponsors into
/// `tvtemp2`, which then replaces `tvtemp`. Returns true when the bulletin was replaced.
bool DodajSponsorow(const std::filesystem::path& ini, const std::string& tvtemp,
                    const std::string& tvtemp2);

}  // namespace tolvak
