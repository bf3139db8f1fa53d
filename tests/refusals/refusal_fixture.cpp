#include "refusals/refusal_fixture.hpp"

#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"

std::vector<std::string> batch_args(const FormatCase& format, const std::string& expnam)
{
    std::vector<std::string> args = format.option;
    args.push_back(expnam);
    return args;
}

std::string write_run_files(const ScratchDir& dir, const grix::MapHeader& header, int phases)
{
    FixturePhase cubic;
    cubic.name = "cubic";
    cubic.atoms = numbered_atoms(2);
    write_file_bytes(dir.file("run.fclc"), encode_map_file(header, make_tagged_sections(header)));
    const std::vector<FixturePhase> table(static_cast<std::size_t>(phases), cubic);
    write_file_bytes(dir.file("run.exp"), make_exp_file(table));
    return dir.file("run");
}
