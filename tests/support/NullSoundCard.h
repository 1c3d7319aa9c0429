#pragma once
// Playback in tests: ALSA's null device as the only sound card, and a recorder on the device's
// side of the playback ring that keeps the pace of a real sound card.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tolvak::test {

/// Points HOME at a folder whose .asoundrc makes ALSA's null device the default, once per
/// process and before anything opens the sound system; the folder goes at the process's end.
/// The null device is not paced.
inline void UseNullSoundCard() {
    struct Home {
        std::filesystem::path path = std::filesystem::temp_directory_path() / ("tolvak-sound-" + std::to_string(getpid()));
        Home() {
            std::filesystem::create_directories(path);
            std::ofstream(path / ".asoundrc") << "pcm.!default { type null }\n";
            setenv("HOME", path.c_str(), 1);
            setenv("JACK_NO_START_SERVER", "1", 1);
        }
        ~Home() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static Home home;
}

/// Records what the device plays while the ring runs, and sleeps in the device's thread so that
/// the unpaced null device plays in real time. Block() holds the device still until Release().
class PacedRecorder {
public:
    PacedRecorder(int SampleRate, int FrameBytes) : rate_(SampleRate), frameBytes_(FrameBytes) {}

    auto Tap() {
        return [this](const uint8_t* data, int64_t bytes, bool running) {
            {
                std::unique_lock lock(m_);
                if (running) {
                    cv_.wait_for(lock, std::chrono::seconds(10), [&] { return !blocked_; });
                    played_.insert(played_.end(), data, data + bytes);
                    runningBytes_ = static_cast<int64_t>(played_.size());
                }
            }
            if (frames_ == 0) t0_ = std::chrono::steady_clock::now();
            frames_ += bytes / frameBytes_;
            std::this_thread::sleep_until(t0_ + std::chrono::microseconds(frames_ * 1000000 / rate_));
        };
    }
    std::vector<uint8_t> Played() {
        std::lock_guard lock(m_);
        return played_;
    }
    int64_t PlayedBytes() const { return runningBytes_.load(); }
    void Block() {
        std::lock_guard lock(m_);
        blocked_ = true;
    }
    void Release() {
        {
            std::lock_guard lock(m_);
            blocked_ = false;
        }
        cv_.notify_all();
    }

private:
    int rate_, frameBytes_;
    std::mutex m_;
    std::condition_variable cv_;
    bool blocked_ = false;
    std::vector<uint8_t> played_;
    std::atomic<int64_t> runningBytes_{0};
    int64_t frames_ = 0;
    std::chrono::steady_clock::time_point t0_;
};

}  // namespace tolvak::test
