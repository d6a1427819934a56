// kx52ctl: the command line companion of KX-52 (see CtlCommands.h).
#include "CtlCommands.h"
#include "CtlPlatform.h"

#include <csignal>
#include <iostream>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int)
{
    g_stop = 1;
}

} // namespace

int main(int argc, char** argv)
{
    PrepareConsole();
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    CtlEnv env;
    env.out = &std::cout;
    env.err = &std::cerr;
    env.clock = &SystemClock();
    env.stop = &g_stop;
    env.progress = StderrIsTerminal();
    return RunCtl(std::vector<std::string>(argv + 1, argv + argc), env);
}
