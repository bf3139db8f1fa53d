// The experiment file reader on any bytes, in batch mode and in interactive mode with a
// fixed stream of answers to the phase question (wrong ones first, then the end of input).
#include "common/fatal.hpp"
#include "fuzz_scratch.hpp"
#include "readers/exp_file.hpp"

#include <cstdint>
#include <memory>

namespace {

// Out of range, not a number, beyond int, then a choice that holds from two phases on.
constexpr const char* PHASE_ANSWERS = "0 x 11 99999999999 -1 2\n";

void check_structure(const StructureInfo& structure)
{
    require(structure.natoms <= MAXATOMS, "more atoms than slots");
    for (int i = 0; i < structure.natoms; ++i) {
        require(structure.atom_type[i][2] == '\0', "an atom type without its terminator");
        require(structure.atom_label[i][11] == '\0', "an atom label without its terminator");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    write_scratch_file("run.exp", data, size);
    for (const int batch : {1, 0}) {
        FuzzConsole io(PHASE_ANSWERS);
        const auto structure = std::make_unique<StructureInfo>();
        try {
            read_exp_file(scratch_path("run"), *structure, batch, io.console);
            check_structure(*structure);
        } catch (const FatalError& error) {
            require(error.stream == FatalStream::err, "a reader failure not on standard error");
        }
        if (batch)
            require(io.out.str().empty(), "batch mode printed on standard output");
    }
    clear_scratch_dir();
    return 0;
}
