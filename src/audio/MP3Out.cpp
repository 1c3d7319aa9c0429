#include "audio/MP3Out.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#ifdef TOLVAK_HAVE_TAGLIB
#include <tag_c.h>
#endif

namespace tolvak {

int BitRateKbps(TMP3BitRate r) {
    static constexpr int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    const auto i = static_cast<std::size_t>(r);
    return i < std::size(kKbps) ? kKbps[i] : 0;
}

bool TagLibAvailable() {
#ifdef TOLVAK_HAVE_TAGLIB
    return true;
#else
    return false;
#endif
}

// ---- ID3v1 ----

namespace {

// The single-byte code page of a Central European workstation, for the letters a station's
// texts use; anything else becomes '?'.
unsigned char ToSingleByte(char32_t cp) {
    if (cp < 0x80) return static_cast<unsigned char>(cp);
    switch (cp) {
        case U'Ą': return 0xA5; case U'ą': return 0xB9;
        case U'Ć': return 0xC6; case U'ć': return 0xE6;
        case U'Ę': return 0xCA; case U'ę': return 0xEA;
        case U'Ł': return 0xA3; case U'ł': return 0xB3;
        case U'Ń': return 0xD1; case U'ń': return 0xF1;
        case U'Ó': return 0xD3; case U'ó': return 0xF3;
        case U'Ś': return 0x8C; case U'ś': return 0x9C;
        case U'Ź': return 0x8F; case U'ź': return 0x9F;
        case U'Ż': return 0xAF; case U'ż': return 0xBF;
        default: return '?';
    }
}

void PutText(uint8_t* field, std::size_t width, const std::string& utf8) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < utf8.size() && out < width;) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = 0;
        if (len == 0 || i + static_cast<std::size_t>(len) > utf8.size()) {
            cp = U'?';
            len = 1;
        } else {
            cp = len == 1 ? b : static_cast<char32_t>(b & (0x7F >> len));
            for (int k = 1; k < len; ++k) {
                const auto c = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
                if ((c & 0xC0) != 0x80) {
                    cp = U'?';
                    len = k;
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
            }
        }
        field[out++] = ToSingleByte(cp);
        i += static_cast<std::size_t>(len);
    }
}

}  // namespace

std::array<uint8_t, 128> BuildId3v1(const TAuTags& tags) {
    std::array<uint8_t, 128> b{};
    std::memcpy(b.data(), "TAG", 3);
    PutText(&b[3], 30, tags.Title());
    PutText(&b[33], 30, tags.Artist());
    PutText(&b[63], 30, tags.Album());
    const int64_t year = tags.AsInteger("year");
    if (year >= 1000 && year <= 9999) {
        const std::string y = std::to_string(year);
        std::memcpy(&b[93], y.data(), 4);
    }
    PutText(&b[97], 30, tags.Comment());
    b[127] = 0;
    return b;
}

// ---- the writer ----

TMP3Out::TMP3Out() = default;

TMP3Out::~TMP3Out() { Shutdown(); }

BE_CONFIG TMP3Out::MakeConfig(int sampleRate, int channels) const {
    BE_CONFIG c{};
    c.dwConfig = 256;
    c.dwStructVersion = 1;
    c.dwStructSize = 331;
    c.dwSampleRate = static_cast<uint32_t>(std::max(0, sampleRate));
    c.dwReSampleRate = 0;
    if (channels == 1)
        c.nMode = 3;
    else
        c.nMode = FMode == TMP3Mode::mmDual ? 0 : static_cast<int32_t>(FMode);
    c.dwBitrate = static_cast<uint32_t>(BitRateKbps(FBitRate));
    c.dwMaxBitrate = static_cast<uint32_t>(BitRateKbps(FMaximumBitrate));
    c.bPrivate = 0;
    c.bCRC = FCRC ? 1 : 0;
    c.bOriginal = FOriginal ? -1 : 0;
    c.bWriteVBRHeader = FEnableVBR ? 1 : 0;
    c.bEnableVBR = FEnableVBR ? 1 : 0;
    c.nVBRQuality = FEnableVBR ? static_cast<int32_t>(FVBRQuality) : 0;
    c.dwVbrAbr_bps = static_cast<uint32_t>(BitRateKbps(FAverageBitrate));
    c.nVbrMethod = c.dwVbrAbr_bps != 0 ? 4 : 2;
    c.bNoRes = FEnableBitReservoir ? 0 : -1;
    c.bStrictIso = FStrictISO ? -1 : 0;
    c.nQuality = 0;
    return c;
}

void TMP3Out::BeginOutput() {
    FTagStepFailed = false;
    _Stream.reset();
    FParallel.reset();
    FInputStarted = false;
    CreateOutputFile();
    FAudioStart = FStream ? FStream->Position() : 0;
    FInput->Init();
    FInputStarted = true;
    const int channels = FInput->Channels();
    FConfig = MakeConfig(FInput->SampleRate(), channels);
    try {
        _Stream = std::make_unique<audiolib::Mp3Encoder>(FConfig, channels);
    } catch (const EAuException&) {
        // Close and release here; with no encoder stream the finishing step has nothing to do.
        CloseOutputFile();
        FInputStarted = false;
        FInput->Flush();
        throw;
    }
    BufferSize = static_cast<uint32_t>(channels) * _Stream->SamplesPerChunk();
    Buffer.assign(BufferSize / 2, 0);
    mp3buf.assign(_Stream->OutputBufferSize(), 0);
    // Frames that stand alone can be encoded on every core; the file stays the same.
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    if (cores > 1 && audiolib::ParallelMp3Encoder::Applies(FConfig))
        FParallel = std::make_unique<audiolib::ParallelMp3Encoder>(std::move(_Stream), FConfig, channels,
                                                                   std::min(cores, kMaxEncoderThreads));
}

void TMP3Out::WriteEncoded(const uint8_t* data, std::size_t n) {
    if (n > 0 && FStream->Write(data, static_cast<int64_t>(n)) < static_cast<int64_t>(n))
        RaiseWriteError();
}

bool TMP3Out::OutputBlock(bool Abort) {
    if (Abort || !(_Stream || FParallel)) return false;
    bool endOfInput = false;
    const int64_t bytes = FInput->FillBuffer(Buffer.data(), BufferSize, endOfInput);
    if (bytes <= 0) return false;
    const std::span<const int16_t> samples(Buffer.data(), static_cast<std::size_t>(bytes) / 2);
    if (FParallel) {
        FParallel->Encode(samples, FEncoded);
        WriteEncoded(FEncoded.data(), FEncoded.size());
        FEncoded.clear();
    } else {
        WriteEncoded(mp3buf.data(), _Stream->EncodeChunk(samples, mp3buf));
    }
    return !endOfInput;
}

void TMP3Out::FinishOutput() {
    // Also reached when the start did not complete: every step checks what exists.
    const bool encoded = _Stream != nullptr || FParallel != nullptr;
    auto note = [this](const std::string& m) {
        if (ExceptionMessage().empty()) SetExceptionMessage(m);
    };
    try {
        if (FParallel && FStream) {
            FParallel->Finish(FEncoded);
            WriteEncoded(FEncoded.data(), FEncoded.size());
        } else if (_Stream && FStream) {
            WriteEncoded(mp3buf.data(), _Stream->Deinit(mp3buf));
        }
        if (encoded && FStream) {
            const auto tag = BuildId3v1(FId3v1Tags);
            if (FStream->Write(tag.data(), static_cast<int64_t>(tag.size())) < static_cast<int64_t>(tag.size()))
                RaiseWriteError();
            if (FConfig.bEnableVBR) {
                const auto frame = _Stream->VbrHeaderFrame();
                if (!frame.empty() && FStream->Seekable()) {
                    const int64_t end = FStream->Position();
                    FStream->Seek(FAudioStart, TSeekOrigin::soBeginning);
                    FStream->Write(frame.data(), static_cast<int64_t>(frame.size()));
                    FStream->Seek(end, TSeekOrigin::soBeginning);
                }
            }
        }
    } catch (const std::exception& e) {
        note(e.what());
    }
    if (!CloseOutputFile()) {
        try {
            RaiseWriteError();
        } catch (const std::exception& e) {
            note(e.what());
        }
    }
    _Stream.reset();
    FParallel.reset();
    std::vector<uint8_t>().swap(FEncoded);
    std::vector<uint8_t>().swap(mp3buf);
    std::vector<int16_t>().swap(Buffer);

    // The tag step works on the finished, closed file; only after a run that wrote it well.
    if (encoded && !FStreamAssigned && !FFileName.empty() && TagLibAvailable() &&
        ExceptionMessage().empty()) {
        try {
            if (BeforeTagStep) BeforeTagStep(FFileName);
            WriteTags();
        } catch (const std::exception& e) {
            note(e.what());
            FTagStepFailed = true;
        }
    }
    // The input is flushed in every case, so its file never stays open after the run.
    if (FInputStarted) {
        FInputStarted = false;
        FInput->Flush();
    }
}

void TMP3Out::WriteTags() {
#ifdef TOLVAK_HAVE_TAGLIB
    // The tag library's settings are process-wide: one writer at a time.
    static std::mutex tagCS;
    std::lock_guard lock(tagCS);
    taglib_set_strings_unicode(1);
    taglib_id3v2_set_default_text_encoding(TagLib_ID3v2_UTF16);
    struct FileFree {
        void operator()(TagLib_File* f) const { taglib_file_free(f); }
    };
    std::unique_ptr<TagLib_File, FileFree> file(taglib_file_new_type(FFileName.c_str(), TagLib_File_MPEG));
    // The tag texts name the file like every file error, with what the tag library refused.
    auto refused = [this](OperacjaNaPliku op, const char* why) {
        return EAuException(OpisOperacji(op, FFileName) + ": " + why);
    };
    if (!file || !taglib_file_is_valid(file.get()))
        throw refused(OperacjaNaPliku::Otwarcie, "biblioteka znaczników nie rozpoznała pliku MP3");
    TagLib_Tag* tag = taglib_file_tag(file.get());
    if (!tag) throw refused(OperacjaNaPliku::Otwarcie, "biblioteka znaczników nie rozpoznała pliku MP3");
    taglib_tag_set_title(tag, FId3v2Tags.Title().c_str());
    taglib_tag_set_artist(tag, FId3v2Tags.Artist().c_str());
    taglib_tag_set_album(tag, FId3v2Tags.Album().c_str());
    taglib_tag_set_genre(tag, FId3v2Tags.Genre().c_str());
    auto number = [](const std::string& s, unsigned& v) {
        const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        return !s.empty() && ec == std::errc() && p == s.data() + s.size();
    };
    unsigned v = 0;
    if (number(FId3v2Tags.Year(), v)) taglib_tag_set_year(tag, v);
    if (number(FId3v2Tags.Track(), v)) taglib_tag_set_track(tag, v);
    if (!taglib_file_save(file.get()))
        throw refused(OperacjaNaPliku::Zapis, "nie udało się zapisać znaczników ID3v2");
#endif
}

}  // namespace tolvak
