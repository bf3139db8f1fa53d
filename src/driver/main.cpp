#include "common/console.hpp"
#include "driver/run.hpp"

#include <iostream>

int main(int argc, char** argv)
{
    Console console{std::cin, std::cout, std::cerr};
    return run_and_report(std::vector<std::string>(argv, argv + argc), console);
}
