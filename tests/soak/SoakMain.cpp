// The soak: random use of the real window for a given time, seed after seed.
// On a failure it prints the seed and the shortest action list it can cut the
// run down to, and writes that list to soak-failure-<seed>.txt for a
// regression test (tests/soak/regressions/).
//   soak [--seconds N] [--seed S] [--actions N]
//   soak --replay FILE      runs one kept list (SOAK_TRACE=1 shows each step)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/soak/Soak.h"

int main(int argc, char** argv)
{
    long seconds = 60;
    unsigned long seed = static_cast<unsigned long>(std::time(nullptr));
    std::size_t actions = 500;
    if (argc == 3 && !std::strcmp(argv[1], "--replay")) {
        EnsureSoakApplication();
        TSoakScript script;
        std::ifstream in(argv[2]);
        for (std::string line; std::getline(in, line);) {
            TSoakAction action;
            if (TSoakAction::FromText(line, action)) script.push_back(action);
        }
        const std::string broken = RunSoakScript(script);
        std::printf("soak: %s\n", broken.empty() ? "replayed cleanly" : broken.c_str());
        return broken.empty() ? 0 : 1;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed")) seed = std::strtoul(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--actions")) actions = std::strtoul(argv[i + 1], nullptr, 10);
        else {
            std::fprintf(stderr, "usage: soak [--seconds N] [--seed S] [--actions N]\n");
            return 2;
        }
    }
    EnsureSoakApplication();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::size_t seeds = 0;
    std::size_t total = 0;
    while (std::chrono::steady_clock::now() < end) {
        const auto current = static_cast<std::uint32_t>(seed++);
        // Said before the run, so that a crash still names its seed.
        std::fprintf(stderr, "soak: seed %u\r", current);
        const TSoakScript script = MakeSoakScript(current, actions);
        std::size_t run = 0;
        const std::string broken = RunSoakScript(script, &run);
        total += run;
        ++seeds;
        if (broken.empty()) continue;
        std::printf("\nsoak: seed %u failed %s\n", current, broken.c_str());
        const TSoakScript shortest = ShrinkSoakScript(TSoakScript(script.begin(), script.begin() + static_cast<std::ptrdiff_t>(run)));
        const std::string file = "soak-failure-" + std::to_string(current) + ".txt";
        std::ofstream out(file);
        std::printf("soak: cut down to %zu actions (%s): %s\n", shortest.size(), file.c_str(),
                    RunSoakScript(shortest).c_str());
        for (const TSoakAction& action : shortest) {
            out << action.ToText() << '\n';
            std::printf("  %s\n", action.ToText().c_str());
        }
        std::printf("soak: %zu seeds, %zu actions, 1 failed\n", seeds, total);
        return 1;
    }
    std::printf("\nsoak: %zu seeds, %zu actions, 0 failed\n", seeds, total);
    return 0;
}
