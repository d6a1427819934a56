#pragma once
// Line speeds as termios knows them: the Bxxx code of a standard speed, and
// whether a speed the driver reports is near enough to the one asked for.
#include <cstdint>

#include <termios.h>

// The Bxxx code of `baud`, where this system has one; every other speed goes
// through serial_speed::SetExact.
bool StandardSpeedCode(std::uint32_t baud, speed_t& code);

// A driver may round an unusual speed to the nearest one its clock can make;
// a serial line tolerates about 2 %.
bool SpeedClose(std::uint32_t actual, std::uint32_t wanted);
