// Writes the seed corpus of the fuzz targets: small sound map files and experiment
// files in the layouts the readers expect, and whole conversion inputs built from them.
// Usage: make_fuzz_seeds DIRECTORY (the corpus lands in DIRECTORY/<target>/).
#include "common/printf_text.hpp"
#include "conversion_input.hpp"
#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace grix;

namespace {

struct Seed {
    std::string name;
    std::string bytes;
};

std::string map_bytes(int across, int down, int sections, int msect, int record_size,
                      int extra_values = 0)
{
    MapHeader header = make_map_header(across, down, sections, msect);
    header.nrho += extra_values;
    return encode_map_file(header, make_tagged_sections(header), record_size);
}

FixturePhase phase(const char* name, std::array<float, 6> cell, int atoms)
{
    FixturePhase made;
    made.name = name;
    std::copy(cell.begin(), cell.end(), made.cell);
    made.atoms = numbered_atoms(atoms);
    return made;
}

const FixturePhase CUBIC = phase("cubic", {10, 10, 10, 90, 90, 90}, 2);
const FixturePhase MONOCLINIC = phase("monoclinic", {5.2f, 7.1f, 6.3f, 90, 104.5f, 90}, 3);
const FixturePhase HEXAGONAL = phase("hexagonal", {4.9f, 4.9f, 5.4f, 90, 90, 120}, 1);

std::vector<Seed> map_seeds()
{
    return {
        {"map-3x2x2-msect3-rec512", map_bytes(3, 2, 2, 3, 512)},
        {"map-3x2x2-msect1-rec164", map_bytes(3, 2, 2, 1, 164)},
        {"map-2x4x3-msect2-rec256", map_bytes(2, 4, 3, 2, 256)},
        {"map-4x3x1-extra-values", map_bytes(4, 3, 1, 3, 164, 3)},
        {"map-no-sections", map_bytes(3, 2, 0, 3, 164)},
    };
}

std::vector<Seed> exp_seeds()
{
    FixturePhase newer = MONOCLINIC;
    newer.newer_layout = true;
    FixturePhase labelled = CUBIC;
    labelled.atoms.push_back({"Y", 0.125f, 0, 0.25f, 1, "Y1", 24});
    FixturePhase no_atoms = HEXAGONAL;
    no_atoms.atoms.clear();
    return {
        {"exp-one-phase-lf", make_exp_file({CUBIC}, LineEnd::lf)},
        {"exp-two-phases-crlf", make_exp_file({CUBIC, MONOCLINIC}, LineEnd::crlf)},
        {"exp-newer-layout-no-line-ends", make_exp_file({newer, HEXAGONAL}, LineEnd::none)},
        {"exp-multiplicity-and-no-atoms", make_exp_file({labelled, no_atoms}, LineEnd::lf)},
    };
}

std::vector<Seed> conversion_seeds()
{
    const std::string exps[] = {make_exp_file({CUBIC}, LineEnd::lf),
                                make_exp_file({MONOCLINIC}, LineEnd::crlf),
                                make_exp_file({HEXAGONAL}, LineEnd::none)};
    const std::string maps[] = {map_bytes(4, 3, 3, 3, 164), map_bytes(3, 4, 2, 1, 256),
                                map_bytes(2, 3, 4, 2, 164)};
    std::vector<Seed> seeds;
    const auto formats = grix::output_formats();
    for (std::size_t f = 0; f < formats.size(); ++f) {
        for (std::size_t v = 0; v < 3; ++v) {
            // The precision 3 for the ASCII dump; the other formats ignore it.
            const auto selector = static_cast<std::uint8_t>(f + formats.size() * 3 * (v % 2));
            // The option without its "-" names the seed.
            const std::string option(formats[f].long_option.substr(1));
            seeds.push_back({printf_text("conversion-%s-%zu", option.c_str(), v),
                             join_conversion_input(selector, maps[v], exps[v])});
        }
    }
    return seeds;
}

void write_seeds(const std::filesystem::path& dir, const std::vector<Seed>& seeds)
{
    std::filesystem::create_directories(dir);
    for (const Seed& seed : seeds) {
        std::ofstream file(dir / seed.name, std::ios::binary | std::ios::trunc);
        file.write(seed.bytes.data(), static_cast<std::streamsize>(seed.bytes.size()));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    write_seeds(root / "map_reader", map_seeds());
    write_seeds(root / "exp_reader", exp_seeds());
    write_seeds(root / "conversion", conversion_seeds());
    return 0;
}
