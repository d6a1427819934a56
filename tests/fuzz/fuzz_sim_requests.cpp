// The simulated instrument's request parser and station: any byte stream, cut
// into chunks that arrive at fuzzer-chosen times, with fuzzer-chosen faults.
// Every byte fed comes out once (in a frame, as discarded, or still pending),
// only sound frames are taken, what waits stays within one frame's length,
// and every answer the station gives without faults is a sound frame to the
// requester.
#include "FuzzInput.h"
#include "SimFrames.h"
#include "SimStation.h"

#include <cstddef>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    sim::SimStation station(static_cast<std::uint8_t>(in.Byte() % 127));
    const std::uint16_t fault_mask = in.U16();
    for (std::size_t f = 0; f < sim::kFaultCount; ++f)
        if ((fault_mask >> f) & 1u)
            station.Faults().Set(static_cast<sim::Fault>(f), sim::kAlways, in.Byte());
    const bool faults = (fault_mask & ((1u << sim::kFaultCount) - 1)) != 0;

    sim::FrameParser parser;
    double now = 0.0;
    std::size_t fed = 0;
    std::size_t taken = 0;
    while (!in.Empty()) {
        now += in.Byte() * 0.002;
        const sim::Bytes chunk = in.Chunk();
        fed += chunk.size();
        for (const sim::FrameParser::Event& e : parser.Feed(chunk, now)) {
            if (!e.is_frame) {
                FUZZ_CHECK(!e.discarded.empty());
                taken += e.discarded.size();
                continue;
            }
            const sim::Frame& f = e.frame;
            taken += f.raw.size();
            std::size_t length = 0;
            FUZZ_CHECK(sim::ScanFrame(f.raw.data(), f.raw.size(), length) == sim::ScanResult::Valid);
            FUZZ_CHECK(length == f.raw.size());
            FUZZ_CHECK(f.is_long == (f.raw[0] == sim::kStartLong));
            if (f.is_long)
                FUZZ_CHECK(f.data.size() + 9 == f.raw.size());

            const sim::Plan plan = station.Handle(f, now);
            FUZZ_CHECK(station.Instrument().Address() <= 126);
            if (!plan.for_us)
                FUZZ_CHECK(plan.answer.empty());
            if (!faults && !plan.answer.empty()) {
                std::size_t answer_length = 0;
                FUZZ_CHECK(sim::ScanFrame(plan.answer.data(), plan.answer.size(), answer_length) ==
                           sim::ScanResult::Valid);
                FUZZ_CHECK(answer_length == plan.answer.size());
                const bool long_answer = plan.answer[0] == sim::kStartLong;
                FUZZ_CHECK(plan.answer[long_answer ? 4 : 1] == f.sa);
            }
        }
        FUZZ_CHECK(parser.Pending() < sim::kMaxFrame);
        FUZZ_CHECK(taken + parser.Pending() == fed);
    }
    return 0;
}
