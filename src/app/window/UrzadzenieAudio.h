#pragma once
// The sound device of the window mode: the default output device, opened at start-up at
// 44100 Hz and held until the program closes. Opening it is the start-up's check that the
// workstation can play the mix point editor's preview.

#include <memory>
#include <string>

namespace tolvak {

class UrzadzenieAudio {
public:
    UrzadzenieAudio();
    ~UrzadzenieAudio();
    UrzadzenieAudio(const UrzadzenieAudio&) = delete;
    UrzadzenieAudio& operator=(const UrzadzenieAudio&) = delete;

    /// Opens the default output device (stereo, 16-bit, 44100 Hz) without starting it. False
    /// when there is no device or it cannot be opened; Blad() then says why.
    bool Otworz();
    /// Releases the device (also done by the destructor).
    void Zwolnij();
    bool Otwarte() const;
    const std::string& Blad() const { return blad_; }

private:
    struct Stan;
    std::unique_ptr<Stan> stan_;
    std::string blad_;
};

}  // namespace tolvak
