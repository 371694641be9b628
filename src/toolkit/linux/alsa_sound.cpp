#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "toolkit/linux/services.h"

namespace toolkit {

namespace {

// ALSA reports a missing card on stderr; the program stays silent instead.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const unsigned char* p) { return std::uint16_t(p[0] | p[1] << 8); }

constexpr int kBeepRate = 44100;
constexpr snd_pcm_uframes_t kBlockFrames = 1024;
constexpr unsigned kLatencyMicroseconds = 100000;

struct PcmFormat {
    snd_pcm_format_t format;
    int channels;
    int rate;
    int frameBytes;
};

} // namespace

WaveData ParseWave(const unsigned char* data, std::size_t size) {
    WaveData wave;
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return wave;
    bool haveFormat = false;
    int format = 0, blockAlign = 0;
    std::size_t pos = 12;
    // Chunks may come in any order; lengths are checked against what is there.
    while (pos + 8 <= size) {
        const unsigned char* chunk = data + pos;
        std::size_t length = Le32(chunk + 4);
        std::size_t available = size - pos - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || available < 16)
                return wave;
            format = Le16(chunk + 8);
            wave.channels = Le16(chunk + 10);
            wave.sampleRate = static_cast<int>(Le32(chunk + 12));
            blockAlign = Le16(chunk + 20);
            wave.bitsPerSample = Le16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return wave;
            wave.samples = chunk + 8;
            wave.size = std::min(length, available); // a cut-off file plays what it has
            break;
        }
        if (length > available)
            return wave;
        pos += 8 + length + (length & 1);
    }
    bool pcm = format == 1 && (wave.bitsPerSample == 8 || wave.bitsPerSample == 16) &&
               wave.channels >= 1 && wave.channels <= 8 && wave.sampleRate >= 1000 &&
               wave.sampleRate <= 384000 && blockAlign == wave.channels * wave.bitsPerSample / 8;
    if (!pcm || !wave.samples)
        return wave;
    wave.size -= wave.size % static_cast<std::size_t>(blockAlign);
    wave.valid = wave.size > 0;
    return wave;
}

struct AlsaSound::Impl {
    std::string device;
    std::atomic<long> frames{0};
    std::atomic<int> cut{0};
    std::mutex hookMutex;
    std::function<void(const std::atomic<bool>&)> hook;

    // One sound being played: the flag that asks it to stop, and whether it has ended.
    struct Run {
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
    };
    std::thread player;
    std::shared_ptr<Run> run;

    // Plays the frames on the device; returns early when `stop` is set.
    void Play(const PcmFormat& format, const unsigned char* samples, std::size_t bytes,
              const std::atomic<bool>& stop) {
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0)
            return;
        if (snd_pcm_set_params(pcm, format.format, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(format.channels),
                               static_cast<unsigned>(format.rate), 1, kLatencyMicroseconds) < 0) {
            snd_pcm_close(pcm);
            return;
        }
        std::function<void(const std::atomic<bool>&)> writeHook;
        {
            std::lock_guard lock(hookMutex);
            writeHook = hook;
        }
        snd_pcm_uframes_t total = bytes / static_cast<std::size_t>(format.frameBytes);
        snd_pcm_uframes_t done = 0;
        bool cutOff = false;
        while (done < total) {
            if (writeHook)
                writeHook(stop);
            if (stop) {
                cutOff = true;
                break;
            }
            snd_pcm_uframes_t count = std::min(kBlockFrames, total - done);
            snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples + done * format.frameBytes, count);
            if (written < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0)
                    break;
                continue;
            }
            done += static_cast<snd_pcm_uframes_t>(written);
            frames += written;
        }
        // Wait for the device to play out what it holds, still ready to cut it off.
        while (!cutOff) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(pcm, &delay) < 0 || delay <= 0)
                break;
            if (stop) {
                cutOff = true;
                break;
            }
            long ms = std::clamp<long>(delay * 1000 / format.rate, 1, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
        if (cutOff) {
            snd_pcm_drop(pcm);
            ++cut;
        } else {
            snd_pcm_drain(pcm);
        }
        snd_pcm_close(pcm);
    }

    // Plays on a thread of its own, which keeps `self` alive: a device that
    // blocks (held by another program) holds only that thread.
    static void Start(const std::shared_ptr<Impl>& self, PcmFormat format,
                      std::shared_ptr<const std::vector<unsigned char>> samples) {
        auto current = std::make_shared<Run>();
        self->run = current;
        self->player = std::thread([self, format, samples, current] {
            self->Play(format, samples->data(), samples->size(), current->stop);
            current->done = true;
        });
    }

    static bool WaitUntilDone(const Run& current, std::chrono::milliseconds patience) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!current.done) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Stops the sound being played. A player that does not answer in time
    // is stuck in the device and is left to end on its own.
    void StopPlayer() {
        if (!player.joinable())
            return;
        run->stop = true;
        run->stop.notify_all();
        if (WaitUntilDone(*run, kStopPatience))
            player.join();
        else
            player.detach();
        run.reset();
    }

    static constexpr std::chrono::milliseconds kStopPatience{500};
};

AlsaSound::AlsaSound(std::string device) : impl_(std::make_shared<Impl>()) {
    static std::once_flag silenced;
    std::call_once(silenced, [] { snd_lib_error_set_handler(SilentAlsaErrors); });
    if (device.empty()) {
        const char* fromEnvironment = std::getenv("TALLYKEY_ALSA_DEVICE");
        device = fromEnvironment && *fromEnvironment ? fromEnvironment : "default";
    }
    device_ = device;
    impl_->device = device;
}

AlsaSound::~AlsaSound() { impl_->StopPlayer(); }

void AlsaSound::PlayWave(const unsigned char* data, std::size_t size) {
    impl_->StopPlayer(); // a new sound cuts off the one still playing
    WaveData wave = ParseWave(data, size);
    if (!wave.valid)
        return;
    PcmFormat format{wave.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE, wave.channels,
                     wave.sampleRate, wave.channels * wave.bitsPerSample / 8};
    // The player owns a copy, so the caller's buffer may go away at once.
    Impl::Start(impl_, format, std::make_shared<std::vector<unsigned char>>(wave.samples, wave.samples + wave.size));
}

void AlsaSound::Beep(int frequency, int milliseconds) {
    impl_->StopPlayer();
    if (frequency <= 0 || milliseconds <= 0)
        return;
    std::size_t count = static_cast<std::size_t>(kBeepRate) * static_cast<std::size_t>(milliseconds) / 1000;
    auto tone = std::make_shared<std::vector<unsigned char>>(count * sizeof(std::int16_t));
    constexpr double kTwoPi = 6.283185307179586;
    for (std::size_t i = 0; i < count; ++i) {
        const auto sample = static_cast<std::int16_t>(
            12000.0 * std::sin(kTwoPi * frequency * static_cast<double>(i) / kBeepRate));
        std::memcpy(tone->data() + i * sizeof sample, &sample, sizeof sample);
    }
    Impl::Start(impl_, {SND_PCM_FORMAT_S16_LE, 1, kBeepRate, 2}, tone);
    // Returns when the tone has ended, as the speaker's beep does; a device
    // that has not played it within its own time and the device's latency is
    // given up silently, so that the window never waits on the sound card.
    const auto patience = std::chrono::milliseconds(milliseconds) +
                          std::chrono::milliseconds(kLatencyMicroseconds / 1000) * 2;
    Impl::WaitUntilDone(*impl_->run, patience);
}

void AlsaSound::Wait() {
    if (impl_->player.joinable())
        impl_->player.join();
}

long AlsaSound::FramesWritten() const { return impl_->frames; }

int AlsaSound::WavesCut() const { return impl_->cut; }

void AlsaSound::SetWriteHook(std::function<void(const std::atomic<bool>& stop)> hook) {
    std::lock_guard lock(impl_->hookMutex);
    impl_->hook = std::move(hook);
}

} // namespace toolkit
