// The Linux services that need no window system: sound over ALSA (the
// random source, getrandom, is SystemRandom in services.h). The Qt backend
// installs them with the others.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "toolkit/services.h"

namespace toolkit {

// Sound on the ALSA PCM device `device`; empty means the device named by
// TALLYKEY_ALSA_DEVICE, else "default". A missing device gives silence.
class AlsaSound : public Sound {
public:
    explicit AlsaSound(std::string device = {});
    ~AlsaSound() override;
    AlsaSound(const AlsaSound&) = delete;
    AlsaSound& operator=(const AlsaSound&) = delete;

    void PlayWave(const unsigned char* data, std::size_t size) override;
    void Beep(int frequency, int milliseconds) override;

    const std::string& Device() const { return device_; }
    // Waits until a wave started by PlayWave has ended.
    void Wait();
    // What reached the device, for checking the service itself: sample
    // frames written by waves and beeps, and waves that were cut off.
    long FramesWritten() const;
    int WavesCut() const;
    // Runs in the player before each block it writes, with the flag that
    // asks it to stop; tests hold a wave there to cut it off.
    void SetWriteHook(std::function<void(const std::atomic<bool>& stop)> hook);

    struct Impl;

private:
    std::string device_;
    std::shared_ptr<Impl> impl_; // shared with a player that a blocking device holds
};

// The format and samples of a RIFF WAVE held in memory; `valid` is false
// for anything but uncompressed PCM of 8 or 16 bits with sound data.
struct WaveData {
    bool valid = false;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    const unsigned char* samples = nullptr;
    std::size_t size = 0; // bytes of whole frames
};
WaveData ParseWave(const unsigned char* data, std::size_t size);

} // namespace toolkit
