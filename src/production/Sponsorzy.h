#pragma once
// Weather sponsors and the joining of WAV files.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Okno.h"

namespace tolvak {

/// Joins the samples of integer PCM WAV files into `OutputFile`, which gets one plain 44-byte
/// header with the first file's format. Each file's real "fmt " and "data" chunks are read
/// (any order, other chunks and odd sizes skipped), so only samples are joined. Missing entries
/// are skipped; without any entry the output is empty. Throws the error of platform/Bledy.h
/// when a file cannot be created, opened, read or written, and a std::runtime_error naming the
/// file when an entry holds no PCM samples ("Plik X nie zawiera dźwięku") or another format
/// than the first; the output is closed in every case.
void JoinWaves(const std::vector<std::string>& FileList, const std::string& OutputFile);

/// True when a sponsor value names an existing file whose extension, in lower case, is ".wav".
bool CzySponsorUzyteczny(const std::string& wartosc);

/// The sponsor step of a weather production. Reads the six keys of section "PogodaSponsorzy"
/// of `ini` in order (Sponsor1Przed..3Przed, Sponsor1Po..3Po), writing each value back as read,
/// and when any sponsor is usable joins before-sponsors, `tvtemp` and after-sponsors into
/// `tvtemp2`, which then replaces `tvtemp`. A sponsor in another format than `tvtemp` is first
/// converted to it (a work file "tvsponsN.wav" beside `tvtemp`, removed after the join); one
/// that holds no sound or cannot be read is left out with the line "AkcjaSerwis: Pominięto
/// sponsora " + path + ": " + reason passed to `log`. Returns true when the bulletin was
/// replaced.
bool DodajSponsorow(const std::filesystem::path& ini, const std::string& tvtemp,
                    const std::string& tvtemp2, Okno& okno,
                    const std::function<void(const std::string&)>& log);

}  // namespace tolvak
