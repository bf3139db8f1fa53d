// The experiment file reader on any bytes: it must refuse what it cannot read with its
// message, and whatever it reads must fit the records the writers take.
#include "common/fatal.hpp"
#include "fuzz_scratch.hpp"
#include "readers/exp_file.hpp"

#include <cstdint>
#include <sstream>

using namespace grix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    try {
        for (const Phase& phase : read_exp_file(file)) {
            require(phase.atoms.size() <= MAXATOMS, "more atoms than a phase takes");
            require(phase.atom_count <= static_cast<int>(phase.atoms.size()),
                    "an atom count beyond the atoms read");
            for (const Atom& atom : phase.atoms)
                require(atom.type.size() <= 2 && atom.label.size() <= 11,
                        "an atom text wider than its columns");
        }
    } catch (const FatalError& error) {
        require(error.stream == FatalStream::err, "a reader failure not on standard error");
    }
    return 0;
}
