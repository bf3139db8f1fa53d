#include "driver/run.hpp"
#include "driver/signals.hpp"

#include <iostream>

int main(int argc, char** argv)
{
    grix::install_signal_handlers();
    grix::Console console{std::cin, std::cout, std::cerr};
    return grix::run_and_report(std::vector<std::string>(argv, argv + argc), console);
}
