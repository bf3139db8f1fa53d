#include "writers/gaussian_cube.hpp"

#include "common/text.hpp"
#include "writers/grid_walk.hpp"
#include "writers/whole_cell_text.hpp"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace grix {

namespace {

// The cube format measures every length in Bohr; a positive grid count says so. Its
// densities are per cubic bohr, the map's per cubic Angstrom times the bohr's volume.
constexpr double BOHR_ANGSTROM = 0.529177210903;
constexpr double BOHR_CUBED = BOHR_ANGSTROM * BOHR_ANGSTROM * BOHR_ANGSTROM;

// A count and three lengths in Bohr: "%5d%12.6f%12.6f%12.6f", the cube's header line.
void append_count_and_vector(std::string& text, long long count,
                             const std::array<double, 3>& angstrom)
{
    append_int(text, count, 5);
    for (const double length : angstrom)
        append_fixed(text, length / BOHR_ANGSTROM, 12, 6);
    text += '\n';
}

// Two comment lines, the atom count with the origin, then each axis's point count with
// the step between its points: the cell edge divided by the points, so an oblique cell
// gives oblique voxels. Readers take the second comment line, when it holds "OUTER
// LOOP", for the loop order and nothing else, so it says that alone.
std::string header_text(const WholeCell& cell, std::string_view title)
{
    std::string text = one_line(title);
    text += "; grix: GSAS Fourier map over one unit cell, density in electrons per cubic"
            " bohr\n";
    text += "OUTER LOOP: X, MIDDLE LOOP: Y, INNER LOOP: Z\n";
    append_count_and_vector(text, static_cast<long long>(cell.atoms.size()), {0, 0, 0});
    for (int axis = 0; axis < 3; ++axis) {
        std::array<double, 3> step = cell_edge(cell.geometry, axis);
        const int points = cell.points[static_cast<std::size_t>(axis)];
        for (double& component : step)
            component /= points;
        append_count_and_vector(text, points, step);
    }
    return text;
}

// Each atom as its atomic number, its nuclear charge and its position in Bohr. An atom
// of unknown element keeps atomic number 0, the cube's dummy atom: viewers read the
// file and show the atom as unknown rather than refusing it or naming a wrong element.
std::string atom_text(const WholeCell& cell)
{
    std::string text;
    for (const CellAtom& atom : cell.atoms) {
        append_int(text, atom.atomic_number, 5);
        append_fixed(text, atom.atomic_number, 12, 6);
        for (const double angstrom : to_cartesian(cell.geometry, atom.fractional))
            append_fixed(text, angstrom / BOHR_ANGSTROM, 12, 6);
        text += '\n';
    }
    return text;
}

// X planes of the cell turned so that Z runs fastest: value (first + x, y, z) at
// values[(x * ny + y) * nz + z]. The cube's Z runs, a whole plane apart in the cell, are
// then read in order; each cache line of the cell read when turning a block gives up to
// BLOCK_PLANES values instead of one.
struct PlaneBlock {
    int first = 0;
    int count = 0;
    std::vector<float> values;
};

// Floats along X in a cache line; more planes per block gain nothing.
constexpr int BLOCK_PLANES = 16;

// A block stays within this, with fewer planes when they are large, so that the blocks
// the threads hold at once take little memory beside the cell.
constexpr std::size_t BLOCK_BYTES = std::size_t{8} << 20;

// The blocks the threads format from: a piece asks for the block of its X plane and gets
// the one last turned when it holds that plane, or waits while another thread turns it,
// else turns it itself (outside the lock, so that the other threads format meanwhile).
// Apart from the blocks in use, only the last is kept.
class PlaneBlocks {
public:
    explicit PlaneBlocks(const WholeCell& cell) : cell_(cell)
    {
        const std::size_t plane_bytes = sizeof(float) *
                                        static_cast<std::size_t>(cell.points[1]) *
                                        static_cast<std::size_t>(cell.points[2]);
        planes_ = static_cast<int>(
            std::clamp<std::size_t>(BLOCK_BYTES / plane_bytes, 1, BLOCK_PLANES));
    }

    std::shared_ptr<const PlaneBlock> block_of(int x)
    {
        const int first = x / planes_ * planes_;
        std::unique_lock lock(mutex_);
        turned_.wait(lock, [&] { return turning_ != first; });
        if (last_ && last_->first == first)
            return last_;
        turning_ = first;
        lock.unlock();
        std::shared_ptr<const PlaneBlock> block;
        try {
            block = std::make_shared<const PlaneBlock>(turn_block(first));
        } catch (...) {
            lock.lock();
            turning_ = NOT_TURNING;
            turned_.notify_all();
            throw;
        }
        lock.lock();
        turning_ = NOT_TURNING;
        if (!last_ || last_->first < first)
            last_ = block;
        turned_.notify_all();
        return block;
    }

private:
    // The one place the cube reads the densities, converted there to e/bohr^3 in double
    // and rounded once. Z is turned in stretches of
    // Z_STRETCH, so that the cache lines of a stretch serve every plane of the block
    // before the next are read.
    PlaneBlock turn_block(int first) const
    {
        constexpr std::size_t Z_STRETCH = 64;
        const auto nx = static_cast<std::size_t>(cell_.points[0]);
        const auto ny = static_cast<std::size_t>(cell_.points[1]);
        const auto nz = static_cast<std::size_t>(cell_.points[2]);
        PlaneBlock block{first, std::min(planes_, cell_.points[0] - first), {}};
        const std::size_t plane = ny * nz;
        block.values.resize(static_cast<std::size_t>(block.count) * plane);
        for (std::size_t y = 0; y < ny; ++y)
            for (std::size_t z0 = 0; z0 < nz; z0 += Z_STRETCH) {
                const std::size_t z1 = std::min(z0 + Z_STRETCH, nz);
                for (std::size_t x = 0; x < static_cast<std::size_t>(block.count); ++x) {
                    const float* column = cell_.values.data() + nx * y + x +
                                          static_cast<std::size_t>(first);
                    float* run = block.values.data() + x * plane + y * nz;
                    for (std::size_t z = z0; z < z1; ++z)
                        run[z] = static_cast<float>(column[nx * ny * z] * BOHR_CUBED);
                }
            }
        return block;
    }

    static constexpr int NOT_TURNING = -1;

    const WholeCell& cell_;
    int planes_ = 1;
    std::mutex mutex_;
    std::condition_variable turned_;
    int turning_ = NOT_TURNING;  // the first plane of the block a thread is turning
    std::shared_ptr<const PlaneBlock> last_;
};

// X slowest, Y, then Z fastest: the values of each Z run six to a line, the run ending
// its last line. The walk's planes are X, its rows Y, its points Z.
void emit_values(const WholeCell& cell, int threads, OutputSink& sink)
{
    GridWalk walk;
    walk.planes = cell.points[0];
    walk.rows = cell.points[1];
    walk.points = cell.points[2];
    PlaneBlocks blocks(cell);
    write_grid_walk(sink, walk, threads, [&](const WalkPiece& piece, std::string& text) {
        WalkPiece at = piece;
        std::shared_ptr<const PlaneBlock> block;
        for (std::int64_t r = 0; r < piece.rows; ++r, next_row(walk, at)) {
            if (!block || at.plane >= block->first + block->count)
                block = blocks.block_of(static_cast<int>(at.plane));
            const auto run = (static_cast<std::size_t>(at.plane - block->first) *
                                  static_cast<std::size_t>(walk.rows) +
                              static_cast<std::size_t>(at.row)) *
                             static_cast<std::size_t>(walk.points);
            append_value_lines(text, block->values.data() + run + piece.first, piece.first,
                               piece.last, walk.points);
        }
    });
}

void emit_cube(const WholeCell& cell, std::string_view title, int threads, OutputSink& sink)
{
    check_value_count(cell);
    sink.append(header_text(cell, title));
    sink.append(atom_text(cell));
    emit_values(cell, threads, sink);
}

}  // namespace

void emit_gaussian_cube(const WholeCell& cell, std::string_view title, OutputSink& sink)
{
    emit_cube(cell, title, 1, sink);
}

void write_gaussian_cube(const WholeCellConversion& conversion, OutputSink& sink)
{
    emit_cube(conversion.whole_cell, map_title(conversion.map.header), conversion.threads,
              sink);
}

}  // namespace grix
