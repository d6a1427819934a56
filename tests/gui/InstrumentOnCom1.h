#pragma once
// The simulated instrument behind COM 1 of a test's settings folder, started
// and answering, for the tests that run the program against it end to end.
#include "Orbena52Sim.h"

#include <QString>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Null (with the test failed) when the instrument's port cannot be made.
inline std::unique_ptr<sim::Orbena52Sim> StartInstrumentOnCom1(const QString& folder, std::uint8_t address,
                                                               std::optional<double> fixed_input_ma)
{
    sim::SimConfig config;
    config.com = 1;
    config.address = address;
    config.config_dir = folder.toStdString();
    config.log = nullptr;
    auto instrument = std::make_unique<sim::Orbena52Sim>(config);
    std::string error;
    if (!instrument->Open(error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    instrument->WithStation([fixed_input_ma](sim::SimStation& s) { s.Instrument().SetFixedInput(fixed_input_ma); });
    instrument->Start();
    return instrument;
}
