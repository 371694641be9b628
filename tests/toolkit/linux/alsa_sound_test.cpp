#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "toolkit/linux/services.h"
#include "toolkit/resources.h"

using toolkit::AlsaSound;
using toolkit::ParseWave;

namespace {

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void Put16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}
void PutId(std::vector<unsigned char>& out, const char* id) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(id[i]));
}

// A RIFF WAVE of silence; `extra` chunks go before "fmt ".
std::vector<unsigned char> MakeWave(int channels, int rate, int bits, std::uint32_t frames,
                                    std::uint16_t format = 1, const std::string& extra = {}) {
    std::vector<unsigned char> out;
    PutId(out, "RIFF");
    Put32(out, 0); // patched below
    PutId(out, "WAVE");
    if (!extra.empty()) {
        PutId(out, "LIST");
        Put32(out, static_cast<std::uint32_t>(extra.size()));
        out.insert(out.end(), extra.begin(), extra.end());
        if (extra.size() & 1)
            out.push_back(0);
    }
    PutId(out, "fmt ");
    Put32(out, 16);
    Put16(out, format);
    Put16(out, static_cast<std::uint16_t>(channels));
    Put32(out, static_cast<std::uint32_t>(rate));
    Put32(out, static_cast<std::uint32_t>(rate * channels * bits / 8));
    Put16(out, static_cast<std::uint16_t>(channels * bits / 8));
    Put16(out, static_cast<std::uint16_t>(bits));
    PutId(out, "data");
    std::uint32_t bytes = frames * static_cast<std::uint32_t>(channels * bits / 8);
    Put32(out, bytes);
    out.insert(out.end(), bytes, 0);
    std::uint32_t riff = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<unsigned char>(riff >> (8 * i));
    return out;
}

} // namespace

TEST(WaveParsing, TheCopySoundIsMonoSixteenBitPcm) {
    toolkit::ResourceData wav = toolkit::FindResource("COPY_WAV");
    ASSERT_TRUE(wav);
    toolkit::WaveData wave = ParseWave(wav.data, wav.size);
    ASSERT_TRUE(wave.valid);
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.sampleRate, 44100);
    EXPECT_EQ(wave.bitsPerSample, 16);
    EXPECT_GT(wave.samples, wav.data);
    EXPECT_LE(wave.samples + wave.size, wav.data + wav.size);
    EXPECT_EQ(wave.size % 2, 0u);
}

TEST(WaveParsing, FindsChunksAfterOthersAndRefusesWhatItCannotPlay) {
    auto padded = MakeWave(2, 22050, 8, 100, 1, "INFOodd"); // odd chunk, padded
    toolkit::WaveData wave = ParseWave(padded.data(), padded.size());
    ASSERT_TRUE(wave.valid);
    EXPECT_EQ(wave.channels, 2);
    EXPECT_EQ(wave.bitsPerSample, 8);
    EXPECT_EQ(wave.size, 200u);

    auto floats = MakeWave(1, 44100, 16, 100, 3);
    EXPECT_FALSE(ParseWave(floats.data(), floats.size()).valid);
    auto good = MakeWave(1, 44100, 16, 100);
    EXPECT_FALSE(ParseWave(good.data(), 11).valid);
    EXPECT_FALSE(ParseWave(good.data(), 36).valid); // stops inside "fmt "
    EXPECT_FALSE(ParseWave(nullptr, 0).valid);
    auto notRiff = good;
    notRiff[0] = 'X';
    EXPECT_FALSE(ParseWave(notRiff.data(), notRiff.size()).valid);
    auto noSamples = MakeWave(1, 44100, 16, 0);
    EXPECT_FALSE(ParseWave(noSamples.data(), noSamples.size()).valid);

    // A data chunk that claims more than the file holds plays what is there,
    // in whole frames.
    auto cut = MakeWave(1, 44100, 16, 100);
    cut.resize(cut.size() - 51);
    wave = ParseWave(cut.data(), cut.size());
    ASSERT_TRUE(wave.valid);
    EXPECT_EQ(wave.size, 200u - 52u);
    // A chunk length running past the end before any data is refused.
    auto liar = MakeWave(1, 44100, 16, 100, 1, "ab");
    liar[16] = 0xFF;
    liar[17] = 0xFF;
    EXPECT_FALSE(ParseWave(liar.data(), liar.size()).valid);
}

TEST(AlsaSound, PlaysWavesAndBeepsOnTheNullDevice) {
    AlsaSound sound("null");
    toolkit::ResourceData wav = toolkit::FindResource("COPY_WAV");
    toolkit::WaveData wave = ParseWave(wav.data, wav.size);
    sound.PlayWave(wav.data, wav.size);
    sound.Wait();
    EXPECT_EQ(sound.FramesWritten(), static_cast<long>(wave.size / 2));
    EXPECT_EQ(sound.WavesCut(), 0);

    sound.Beep(2000, 20); // 20 ms at 44100 Hz
    EXPECT_EQ(sound.FramesWritten(), static_cast<long>(wave.size / 2) + 882);

    auto stereo = MakeWave(2, 8000, 8, 500);
    sound.PlayWave(stereo.data(), stereo.size());
    sound.Wait();
    EXPECT_EQ(sound.FramesWritten(), static_cast<long>(wave.size / 2) + 882 + 500);

    // Something that is no wave plays nothing.
    const unsigned char junk[] = "RIFF\x10\0\0\0WAVEjunk";
    sound.PlayWave(junk, sizeof junk);
    sound.Wait();
    EXPECT_EQ(sound.FramesWritten(), static_cast<long>(wave.size / 2) + 882 + 500);
}

TEST(AlsaSound, ANewWaveCutsOffTheOneStillPlaying) {
    AlsaSound sound("null");
    auto longWave = MakeWave(1, 44100, 16, 44100 * 30);
    auto shortWave = MakeWave(1, 44100, 16, 3000);
    std::promise<void> started;
    bool first = true;
    // The first wave is held before its first block until it is told to stop.
    sound.SetWriteHook([&](const std::atomic<bool>& stop) {
        if (!first)
            return;
        first = false;
        started.set_value();
        stop.wait(false);
    });
    // The caller's buffer may go away as soon as PlayWave returns.
    {
        auto copy = longWave;
        sound.PlayWave(copy.data(), copy.size());
        std::fill(copy.begin(), copy.end(), 0xEE);
    }
    started.get_future().wait();
    sound.PlayWave(shortWave.data(), shortWave.size());
    sound.Wait();
    EXPECT_EQ(sound.WavesCut(), 1);
    EXPECT_EQ(sound.FramesWritten(), 3000); // nothing of the first reached the device

    // A beep also ends a wave that is still playing.
    first = true;
    std::promise<void> again;
    sound.SetWriteHook([&](const std::atomic<bool>& stop) {
        if (!first)
            return;
        first = false;
        again.set_value();
        stop.wait(false);
    });
    sound.PlayWave(longWave.data(), longWave.size());
    again.get_future().wait();
    sound.Beep(500, 20);
    EXPECT_EQ(sound.WavesCut(), 2);
    EXPECT_EQ(sound.FramesWritten(), 3000 + 882);
}

TEST(AlsaSound, DestroyingItStopsAWaveStillPlaying) {
    auto longWave = MakeWave(1, 44100, 16, 44100 * 30);
    std::promise<void> started;
    std::atomic<int> blocks{0};
    {
        AlsaSound sound("null");
        sound.SetWriteHook([&](const std::atomic<bool>& stop) {
            if (blocks++ == 0) {
                started.set_value();
                stop.wait(false);
            }
        });
        sound.PlayWave(longWave.data(), longWave.size());
        started.get_future().wait();
    }
    // The player saw the stop and wrote no further block.
    EXPECT_EQ(blocks, 1);
}

// A device that blocks (one held by another program) holds neither the beep,
// which gives up after its own time, nor the next sound, nor the owner.
TEST(AlsaSound, ABlockingDeviceHoldsOnlyThePlayer) {
    // ALSA's file device writing into a pipe that nobody reads blocks for good.
    const std::string fifo = ::testing::TempDir() + "tallykey-held-" + std::to_string(::getpid()) + ".fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        AlsaSound sound("file:'" + fifo + "'");
        sound.Beep(2000, 20);
        sound.Beep(1000, 20);
        sound.PlayWave(toolkit::FindResource("COPY_WAV").data, toolkit::FindResource("COPY_WAV").size);
        EXPECT_EQ(sound.FramesWritten(), 0);
    }
    // A reader lets the held players write and end.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    char buffer[4096];
    for (int i = 0; i < 200; ++i) {
        while (::read(reader, buffer, sizeof buffer) > 0) {
        }
        ::usleep(5000);
    }
    ::close(reader);
    ::unlink(fifo.c_str());
}

TEST(AlsaSound, NoDeviceMeansSilenceWithoutMessages) {
    testing::internal::CaptureStderr();
    {
        AlsaSound sound("tallykey_no_such_device");
        toolkit::ResourceData wav = toolkit::FindResource("COPY_WAV");
        sound.PlayWave(wav.data, wav.size);
        sound.Wait();
        sound.Beep(1750, 20);
        EXPECT_EQ(sound.FramesWritten(), 0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(AlsaSound, DeviceComesFromTheEnvironmentUnlessGiven) {
    const char* saved = std::getenv("TALLYKEY_ALSA_DEVICE");
    std::string restore = saved ? saved : "";
    ::setenv("TALLYKEY_ALSA_DEVICE", "null", 1);
    EXPECT_EQ(AlsaSound().Device(), "null");
    EXPECT_EQ(AlsaSound("hw:0").Device(), "hw:0");
    ::unsetenv("TALLYKEY_ALSA_DEVICE");
    EXPECT_EQ(AlsaSound().Device(), "default");
    if (saved)
        ::setenv("TALLYKEY_ALSA_DEVICE", restore.c_str(), 1);
}
