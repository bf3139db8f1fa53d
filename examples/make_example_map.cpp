// Computes the bundled example's Fourier map: alpha-quartz (SiO2, P 32 2 1 in its
// standard setting, Si on the 2-fold axis at z = 1/6) as a sum of Gaussian atoms at the
// distinct images of each site, on a 20 x 20 x 24 grid over one whole cell (both faces
// included), written in the GSAS map file's own layout.
//
//   make_example_map quartz.fclc

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double A = 4.9134, C = 5.4052;  // hexagonal cell, gamma = 120 degrees
constexpr int NXYZI[3] = {20, 20, 24};    // intervals along x, y, z
constexpr int RECORD_SIZE = 512;
constexpr double SIGMA = 0.35;            // Angstrom

struct Atom {
    double x, y, z, electrons;
};

// Whether two fractional coordinates are one modulo a lattice translation.
bool same_modulo_cell(double a, double b)
{
    const double difference = a - b;
    return std::fabs(difference - std::round(difference)) < 1e-6;
}

// The six operators of P 32 2 1 (standard setting) applied to one site; a site on a
// 2-fold axis keeps each of its images once.
std::vector<Atom> expand_site(const Atom& s)
{
    const double t = 1.0 / 3.0;
    const Atom images[] = {
        {s.x, s.y, s.z, s.electrons},
        {-s.y, s.x - s.y, s.z + 2 * t, s.electrons},
        {-s.x + s.y, -s.x, s.z + t, s.electrons},
        {s.y, s.x, -s.z, s.electrons},
        {s.x - s.y, -s.y, -s.z + t, s.electrons},
        {-s.x, -s.x + s.y, -s.z + 2 * t, s.electrons},
    };
    std::vector<Atom> distinct;
    for (const Atom& image : images)
        if (std::none_of(distinct.begin(), distinct.end(), [&](const Atom& seen) {
                return same_modulo_cell(seen.x, image.x) && same_modulo_cell(seen.y, image.y) &&
                       same_modulo_cell(seen.z, image.z);
            }))
            distinct.push_back(image);
    return distinct;
}

// Squared Cartesian length of a fractional difference in the hexagonal cell.
double squared_length(double dx, double dy, double dz)
{
    return A * A * (dx * dx + dy * dy - dx * dy) + C * C * dz * dz;
}

double density_at(const std::vector<Atom>& atoms, double x, double y, double z)
{
    double rho = 0;
    for (const Atom& atom : atoms) {
        double dx = x - atom.x, dy = y - atom.y, dz = z - atom.z;
        dx -= std::round(dx);
        dy -= std::round(dy);
        dz -= std::round(dz);
        rho += atom.electrons * std::exp(-squared_length(dx, dy, dz) / (2 * SIGMA * SIGMA));
    }
    return rho;
}

void put_word(std::string& bytes, std::uint32_t word)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<char>((word >> shift) & 0xFF));
}

void put_float(std::string& bytes, float value)
{
    std::uint32_t word;
    std::memcpy(&word, &value, 4);
    put_word(bytes, word);
}

void put_text(std::string& bytes, std::string text, std::size_t width)
{
    text.resize(width, ' ');
    bytes += text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example_map OUTPUT\n");
        return 1;
    }
    // The sites of quartz.exp: Si on a 2-fold axis, O in a general position.
    std::vector<Atom> atoms = expand_site({0.4697, 0.0, 1.0 / 6.0, 14});
    const std::vector<Atom> oxygen = expand_site({0.4135, 0.2669, 0.1191 + 1.0 / 6.0, 8});
    atoms.insert(atoms.end(), oxygen.begin(), oxygen.end());

    const int across = NXYZI[0] + 1, down = NXYZI[1] + 1, sections = NXYZI[2] + 1;
    std::vector<float> values;
    for (int k = 0; k < sections; ++k)
        for (int j = 0; j < down; ++j)
            for (int i = 0; i < across; ++i)
                values.push_back(static_cast<float>(density_at(
                    atoms, double(i) / NXYZI[0], double(j) / NXYZI[1], double(k) / NXYZI[2])));
    const auto [low, high] = std::minmax_element(values.begin(), values.end());

    std::string bytes;
    put_text(bytes, "Quartz", 66);
    put_text(bytes, "alpha-quartz: Gaussian atoms at the sites of P 32 2 1", 66);
    put_text(bytes, "FCLC", 4);
    for (float cell : {float(A), float(A), float(C), 90.0f, 90.0f, 120.0f, 113.0f})
        put_float(bytes, cell);
    bytes.resize(RECORD_SIZE, '\0');
    const int nrho = across * down;
    for (int word : {NXYZI[0], NXYZI[1], NXYZI[2], 0, 0, 0, across, down, sections, 3, nrho})
        put_word(bytes, static_cast<std::uint32_t>(word));
    for (float value : {*high, *low, 0.0f})
        put_float(bytes, value);
    bytes.resize(2 * RECORD_SIZE, '\0');
    for (int k = 0; k < sections; ++k) {
        for (int n = 0; n < nrho; ++n)
            put_float(bytes, values[static_cast<std::size_t>(k * nrho + n)]);
        put_word(bytes, 0);
        put_word(bytes, 0);
    }

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "Can't write %s.\n", argv[1]);
        return 1;
    }
    return 0;
}
