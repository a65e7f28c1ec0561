// A long stream through a threaded amplifier while another thread changes its coefficient,
// switches it and stops and restarts the stream. Built with ThreadSanitizer in CI, where any
// race or lock-order problem fails the run; a deadlock fails here by the watchdog.

#include "FilterTestSupport.h"
#include "equalizer/Amplifier.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {
constexpr int BufferCount = 10000;
constexpr std::uint32_t Frames = 32;
constexpr double Coefficients[] = {1.0, 0.5, 0.25, 0.0};

std::int16_t Original(std::size_t index) {
    return std::int16_t(1000 + 3 * index);
}

// Checks every buffer on arrival: all its samples scaled by one of the coefficients (the
// amplifier's output), or all exactly the original (the capture's buffer as others see it).
class TCheckingSink : public TAudioComponent {
public:
    TAudioSinkPin Input{this};
    std::atomic<int> Buffers{0};
    std::atomic<int> Bad{0};
    bool ExpectOriginal = false;

    TCheckingSink() {
        Input.OnOperation = [this](const TOperationPtr& operation) {
            if (const auto* supplied = operation->As<TSuppliedBufferOperation>())
                Check(supplied->Buffer());
            return true;
        };
    }
    ~TCheckingSink() override { Input.SetSourcePin(nullptr); }

private:
    void Check(const TAudioBuffer& buffer) {
        ++Buffers;
        const std::size_t samples = std::size_t(buffer.FrameCount()) * buffer.Channels();
        bool anyMatch = false;
        for (double x : Coefficients) {
            if (ExpectOriginal && x != 1.0)
                continue;
            bool all = true;
            for (std::size_t i = 0; i < samples && all; ++i)
                all = Sample16(buffer, i) == std::int16_t(std::nearbyint(x * Original(i)));
            anyMatch = anyMatch || all;
        }
        if (!anyMatch)
            ++Bad;
    }
};

TAudioBuffer SourceBuffer() {
    TAudioBuffer buffer = TAudioBuffer::Create(44100, 0, Frames, 2, 16);
    std::uint8_t* data = buffer.OverwriteData();
    for (std::size_t i = 0; i < Frames * 2; ++i) {
        const std::int16_t value = Original(i);
        std::memcpy(data + i * 2, &value, 2);
    }
    return buffer;
}
} // namespace

TEST(FilterStress, StreamSurvivesCoefficientChangesAndStopsFromAnotherThread) {
    TTestSource capture;
    TAmplifier amplifier;
    TCheckingSink output, meter;
    meter.ExpectOriginal = true;
    amplifier.SetName("Amplifier1");
    amplifier.Threading().SetEnabled(true);
    amplifier.Threading().Queue().SetSize(4);
    capture.Output.Connect(amplifier.InputPin());
    capture.Output.Connect(meter.Input);
    amplifier.OutputPin().Connect(output.Input);
    capture.Start();

    auto run = std::async(std::launch::async, [&] {
        std::atomic<bool> producing{true};
        std::thread producer([&] {
            for (int i = 0; i < BufferCount; ++i)
                capture.Output.SendBuffer(SourceBuffer());
            producing = false;
        });
        std::thread controller([&] {
            for (unsigned step = 0; producing; ++step) {
                amplifier.SetCoefficient(Coefficients[step % 4]);
                if (step % 7 == 0)
                    amplifier.SetEnabled(step % 14 != 0);
                if (step % 40 == 0) {
                    capture.Output.SendEndStop();
                    capture.Start();
                }
                if (step % 3 == 0)
                    amplifier.Threading().SetEnabled(step % 6 != 0);
                std::this_thread::sleep_for(100us);
            }
        });
        producer.join();
        controller.join();
        capture.Output.SendEndStop();
    });
    if (run.wait_for(120s) != std::future_status::ready) {
        std::fprintf(stderr, "the stream deadlocked\n");
        std::abort();
    }
    run.get();

    const int delivered = output.Buffers;
    EXPECT_EQ(meter.Buffers, BufferCount);
    EXPECT_GT(delivered, 0);
    EXPECT_LE(delivered, BufferCount);
    EXPECT_EQ(output.Bad, 0);
    EXPECT_EQ(meter.Bad, 0);
    EXPECT_EQ(amplifier.Thread(), nullptr);
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(output.Buffers, delivered); // nothing arrives after the final stop
    std::printf("%d of %d buffers passed the amplifier\n", delivered, BufferCount);
}
