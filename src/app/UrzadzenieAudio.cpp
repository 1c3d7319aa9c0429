#include "app/UrzadzenieAudio.h"

#ifdef TOLVAK_HAVE_PORTAUDIO
#include <portaudio.h>
#endif

namespace tolvak {

struct UrzadzenieAudio::Stan {
#ifdef TOLVAK_HAVE_PORTAUDIO
    bool zainicjowane = false;
    PaStream* strumien = nullptr;
#endif
};

UrzadzenieAudio::UrzadzenieAudio() : stan_(std::make_unique<Stan>()) {}

UrzadzenieAudio::~UrzadzenieAudio() { Zwolnij(); }

bool UrzadzenieAudio::Otworz() {
    Zwolnij();
    blad_.clear();
#ifdef TOLVAK_HAVE_PORTAUDIO
    PaError e = Pa_Initialize();
    if (e != paNoError) {
        blad_ = Pa_GetErrorText(e);
        return false;
    }
    stan_->zainicjowane = true;
    const PaDeviceIndex urzadzenie = Pa_GetDefaultOutputDevice();
    if (urzadzenie == paNoDevice) {
        blad_ = "no default output device";
        Zwolnij();
        return false;
    }
    PaStreamParameters wyjscie{};
    wyjscie.device = urzadzenie;
    wyjscie.channelCount = 2;
    wyjscie.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(urzadzenie);
    wyjscie.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
    e = Pa_OpenStream(&stan_->strumien, nullptr, &wyjscie, 44100.0, paFramesPerBufferUnspecified,
                      paNoFlag, nullptr, nullptr);
    if (e != paNoError) {
        stan_->strumien = nullptr;
        blad_ = Pa_GetErrorText(e);
        Zwolnij();
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
        Pa_CloseStream(stan_->strumien);
        stan_->strumien = nullptr;
    }
    if (stan_->zainicjowane) {
        Pa_Terminate();
        stan_->zainicjowane = false;
    }
#endif
}

bool UrzadzenieAudio::Otwarte() const {
#ifdef TOLVAK_HAVE_PORTAUDIO
    return stan_->strumien != nullptr;
#else
    return false;
#endif
}

}  // namespace tolvak
