#include "support/run_capture.hpp"

#include "driver/console.hpp"
#include "driver/run.hpp"

#include <sstream>

using namespace grix;

RunResult run_grix(const std::vector<std::string>& args, const std::string& input)
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    Console console{in, out, err};
    std::vector<std::string> argv{"grix"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult result;
    result.status = run_and_report(argv, console);
    result.out = out.str();
    result.err = err.str();
    return result;
}
