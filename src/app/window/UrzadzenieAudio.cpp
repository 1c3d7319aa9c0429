#include "app/window/UrzadzenieAudio.h"

#include <mutex>

#include "audio/PlaybackRing.h"

#ifdef TOLVAK_HAVE_PORTAUDIO
#include <portaudio.h>
#endif

namespace tolvak {

struct UrzadzenieAudio::Stan {
    std::unique_ptr<TPaSession> sesja;
#ifdef TOLVAK_HAVE_PORTAUDIO
    PaStream* strumien = nullptr;
#endif
};

UrzadzenieAudio::UrzadzenieAudio() : stan_(std::make_unique<Stan>()) {}

UrzadzenieAudio::~UrzadzenieAudio() { Zwolnij(); }

bool UrzadzenieAudio::Otworz() {
    Zwolnij();
    blad_.clear();
#ifdef TOLVAK_HAVE_PORTAUDIO
    stan_->sesja = std::make_unique<TPaSession>();
    if (!stan_->sesja->Ok()) {
        blad_ = "PortAudio could not be initialised";
        Zwolnij();
        return false;
    }
    std::lock_guard lock(TPaSession::PaMutex());
    const PaDeviceIndex urzadzenie = Pa_GetDefaultOutputDevice();
    if (urzadzenie == paNoDevice) {
        blad_ = "no default output device";
        return false;
    }
    PaStreamParameters wyjscie{};
    wyjscie.device = urzadzenie;
    wyjscie.channelCount = 2;
    wyjscie.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(urzadzenie);
    wyjscie.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
    const PaError e = Pa_OpenStream(&stan_->strumien, nullptr, &wyjscie, 44100.0,
                                    paFramesPerBufferUnspecified, paNoFlag, nullptr, nullptr);
    if (e != paNoError) {
        stan_->strumien = nullptr;
        blad_ = Pa_GetErrorText(e);
        return false;
    }
    return true;
#else
    blad_ = "built without PortAudio";
    return false;
#endif
}

void UrzadzenieAudio::Zwolnij() {
#ifdef TOLVAK_HAVE_PORTAUDIO
    if (stan_->strumien) {
        std::lock_guard lock(TPaSession::PaMutex());
        Pa_CloseStream(stan_->strumien);
        stan_->strumien = nullptr;
    }
#endif
    stan_->sesja.reset();
}

bool UrzadzenieAudio::Otwarte() const {
#ifdef TOLVAK_HAVE_PORTAUDIO
    return stan_->strumien != nullptr;
#else
    return false;
#endif
}

}  // namespace tolvak
