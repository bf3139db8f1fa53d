// Writes the inputs of the whole-process benchmark (bench/run-bench.sh) into a directory,
// each as a GSAS map file and its experiment file:
//
//   tri     an n^3 map over one triclinic cell (P 1), sections along z
//   ongrid  a P 32 2 1 cell (hexagonal) of n x n x m points, m a multiple of 6 near n,
//           the map from z = 0 to a little over 1/6: the screw axis's thirds land on
//           grid planes, so completion copies grid points
//   offgrid the same on m + 1 sections a cell: the thirds fall between grid planes, so
//           completion interpolates five sixths of the cell
//   cubiceven, cubicodd
//           a P 21 3 cell of n^3 and of (n - 1)^3 points, the map over x and y from 0 to
//           1/2 and the whole of z: on the odd grid the half translations of every
//           operator fall between grid planes along all three axes, so that each point's
//           source is worked out in floating point (the slower path)
//   page    three sections of page x page points (P 1, triclinic), for the contour page
//
//   make_bench_maps DIR [n] [page]      (256 and 2000 unless given)

#include "support/exp_fixture.hpp"
#include "support/map_fixture.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

using namespace grix;

namespace {

struct Grid {
    int intervals[3];  // per cell, along across, down, section
    int points[3];     // in the map
};

// A smooth density with peaks and troughs of a few hundred and both signs, as a Fourier
// map has them, in the phase of each grid index.
float density(int i, int j, int k, const int* intervals)
{
    const double turn = 2 * 3.14159265358979 / intervals[0];
    return static_cast<float>(180 * std::sin(2 * turn * i) * std::cos(3 * turn * j) *
                                  std::sin(turn * k + 0.4) +
                              60 * std::cos(5 * turn * (i + j - k)));
}

void write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

void write_inputs(const std::string& stem, const Grid& grid, const float (&cell)[6],
                  const char* symbol)
{
    MapHeader header = make_map_header(grid.points[0], grid.points[1], grid.points[2]);
    std::memcpy(header.cell, cell, sizeof cell);
    for (int d = 0; d < 3; ++d)
        header.nxyzi[d] = grid.intervals[d];
    MapSections sections(static_cast<std::size_t>(grid.points[2]));
    for (int k = 0; k < grid.points[2]; ++k) {
        std::vector<float>& values = sections[static_cast<std::size_t>(k)].values;
        values.reserve(static_cast<std::size_t>(header.nrho));
        for (int j = 0; j < grid.points[1]; ++j)
            for (int i = 0; i < grid.points[0]; ++i)
                values.push_back(density(i, j, k, grid.intervals));
    }
    write_bytes(stem + ".fclc", encode_map_file(header, sections));

    FixturePhase phase{"benchmark", {}, {}, {}, false};
    std::memcpy(phase.cell, cell, sizeof cell);
    phase.atoms = {{"SI", 0.47f, 0.11f, 0.33f, 1, "SI1", 0},
                   {"O", 0.41f, 0.27f, 0.05f, 1, "O2", 0}};
    std::vector<std::string> records = exp_file_records({phase});
    records.push_back(exp_record(std::string("CRS1  SG SYM  ") + symbol));
    write_bytes(stem + ".exp", join_records(records));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: make_bench_maps DIR [n] [page]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int n = argc > 2 ? std::atoi(argv[2]) : 256;
    const int page = argc > 3 ? std::atoi(argv[3]) : 2000;
    if (n < 12 || page < 4) {
        std::fprintf(stderr, "make_bench_maps: n must be at least 12, page at least 4\n");
        return 2;
    }
    const float triclinic[6] = {9.3f, 10.1f, 8.7f, 84.0f, 97.0f, 109.0f};
    const float hexagonal[6] = {9.3f, 9.3f, 8.7f, 90.0f, 90.0f, 120.0f};
    write_inputs(dir + "/tri", {{n, n, n}, {n, n, n}}, triclinic, "P 1");
    const int m = n - n % 6, part = m / 6 + 2;
    write_inputs(dir + "/ongrid", {{n, n, m}, {n, n, part}}, hexagonal, "P 32 2 1");
    write_inputs(dir + "/offgrid", {{n, n, m + 1}, {n, n, part}}, hexagonal, "P 32 2 1");
    const float cubic[6] = {9.3f, 9.3f, 9.3f, 90.0f, 90.0f, 90.0f};
    write_inputs(dir + "/cubiceven", {{n, n, n}, {n / 2 + 1, n / 2 + 1, n}}, cubic, "P 21 3");
    write_inputs(dir + "/cubicodd", {{n - 1, n - 1, n - 1}, {n / 2 + 1, n / 2 + 1, n - 1}}, cubic,
                 "P 21 3");
    write_inputs(dir + "/page", {{page, page, 100}, {page, page, 3}}, triclinic, "P 1");
    return 0;
}
