#include "writers/gaussian_cube.hpp"

#include "common/text.hpp"
#include "writers/grid_walk.hpp"
#include "writers/turn_block.hpp"
#include "writers/whole_cell_text.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// A tile of the cell turned so that Z runs fastest: planes [first_plane, first_plane +
// planes) along X, rows [first_row, first_row + rows) along Y, value (first_plane + x,
// first_row + y, z) at values[(x * rows + y) * nz + z]. The cube's Z runs, a whole plane
// apart in the cell, are then read in order; each cache line of the cell read when
// turning a tile gives up to TILE_PLANES values instead of one.
struct Tile {
    int first_plane = 0;
    int planes = 0;
    int first_row = 0;
    int rows = 0;
    CellValues values;  // each written whenever the tile is turned

    bool holds(std::int64_t plane, std::int64_t row) const
    {
        return plane >= first_plane && plane < first_plane + planes && row >= first_row &&
               row < first_row + rows;
    }
};

// Floats along X in a cache line; more planes per tile gain nothing.
constexpr int TILE_PLANES = 16;

// The planes of a tile stay within this, with fewer planes when they are large, so that
// the tiles the threads hold at once take little memory beside the cell.
constexpr std::size_t BLOCK_BYTES = std::size_t{8} << 20;

// A tile's rows are cut to about this, so that the threads, formatting neighbouring
// pieces, turn different tiles at the same time.
constexpr std::size_t TILE_BYTES = std::size_t{1} << 20;

// Densities in e/bohr^3, each in double and rounded once; four side by side where the
// processor has them.
struct ToBohr {
    float operator()(float angstrom) const
    {
        return static_cast<float>(angstrom * BOHR_CUBED);
    }
#if defined(__SSE2__)
    __m128 operator()(__m128 angstrom) const
    {
        const __m128d factor = _mm_set1_pd(BOHR_CUBED);
        const __m128 low = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(angstrom), factor));
        const __m128 high =
            _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(angstrom, angstrom)), factor));
        return _mm_movelh_ps(low, high);
    }
#endif
};

// The tiles the threads format from: a piece asks for the tile of its row and gets it
// when it is kept, or waits while another thread turns it, else turns it itself (outside
// the lock, so that the other threads format or turn other tiles meanwhile). The tiles
// of the two latest blocks of planes asked for are kept, besides those in use. A tile
// dropped that no thread holds is turned again for a later key: its pages are already
// the process's, where a new megabyte would fault in every page afresh.
class CellTiles {
public:
    explicit CellTiles(const WholeCell& cell) : cell_(cell)
    {
        const auto ny = static_cast<std::size_t>(cell.points[1]);
        const std::size_t row_bytes = sizeof(float) * static_cast<std::size_t>(cell.points[2]);
        planes_ = static_cast<int>(
            std::clamp<std::size_t>(BLOCK_BYTES / (row_bytes * ny), 1, TILE_PLANES));
        rows_ = static_cast<int>(std::clamp<std::size_t>(
            TILE_BYTES / (row_bytes * static_cast<std::size_t>(planes_)), 1, ny));
    }

    std::shared_ptr<const Tile> tile_of(std::int64_t plane, std::int64_t row)
    {
        const Key key{static_cast<int>(plane / planes_), static_cast<int>(row / rows_)};
        std::unique_lock lock(mutex_);
        turned_.wait(lock, [&] { return std::find(turning_.begin(), turning_.end(), key) ==
                                        turning_.end(); });
        for (const auto& [kept_key, tile] : kept_)
            if (kept_key == key)
                return tile;
        turning_.push_back(key);
        std::shared_ptr<Tile> tile;
        if (!spare_.empty()) {
            tile = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();
        try {
            if (!tile)
                tile = std::make_shared<Tile>();
            turn_tile(key, *tile);
        } catch (...) {
            lock.lock();
            std::erase(turning_, key);
            turned_.notify_all();
            throw;
        }
        lock.lock();
        std::erase(turning_, key);
        drop_before(key.block - 1);
        kept_.emplace_back(key, tile);
        turned_.notify_all();
        return tile;
    }

    // Lets go of a tile under the lock: a thread that then finds it held by no one, and
    // turns it again, does so only after every read of it is done.
    void release(std::shared_ptr<const Tile>& tile)
    {
        const std::lock_guard lock(mutex_);
        tile.reset();
    }

private:
    struct Key {
        int block;   // planes along X, planes_ a block
        int stripe;  // rows along Y, rows_ a stripe
        bool operator==(const Key&) const = default;
    };

    // Stops keeping the tiles of blocks before `block`; under the lock. A tile only kept
    // here can be held by no thread later, since threads get tiles under the lock, and
    // they let go of them under it, so their reads are done.
    void drop_before(int block)
    {
        for (auto kept = kept_.begin(); kept != kept_.end();) {
            if (kept->first.block >= block) {
                ++kept;
                continue;
            }
            if (kept->second.use_count() == 1)
                spare_.push_back(std::move(kept->second));
            kept = kept_.erase(kept);
        }
    }

    // The one place the cube reads the densities, converted there to e/bohr^3. Z is turned
    // in stretches of Z_STRETCH, so that the cache lines of a stretch serve every plane of
    // the tile before the next are read.
    void turn_tile(const Key& key, Tile& tile) const
    {
        constexpr std::size_t Z_STRETCH = 64;
        const auto nx = static_cast<std::size_t>(cell_.points[0]);
        const auto nz = static_cast<std::size_t>(cell_.points[2]);
        const SectionedValues density = cell_.density();
        tile.first_plane = key.block * planes_;
        tile.planes = std::min(planes_, cell_.points[0] - tile.first_plane);
        tile.first_row = key.stripe * rows_;
        tile.rows = std::min(rows_, cell_.points[1] - tile.first_row);
        const auto planes = static_cast<std::size_t>(tile.planes);
        const auto rows = static_cast<std::size_t>(tile.rows);
        tile.values.resize(planes * rows * nz);
        for (std::size_t y = 0; y < rows; ++y) {
            const float* row = density.first +
                               nx * (static_cast<std::size_t>(tile.first_row) + y) +
                               static_cast<std::size_t>(tile.first_plane);
            for (std::size_t z0 = 0; z0 < nz; z0 += Z_STRETCH) {
                const std::size_t z1 = std::min(z0 + Z_STRETCH, nz);
                turn_block(row + density.stride * z0, density.stride, z1 - z0, planes,
                           reinterpret_cast<unsigned char*>(tile.values.data() + y * nz + z0),
                           rows * nz, ToBohr{});
            }
        }
    }

    const WholeCell& cell_;
    int planes_ = 1;
    int rows_ = 1;
    std::mutex mutex_;
    std::condition_variable turned_;
    std::vector<Key> turning_;  // the tiles threads are turning
    std::vector<std::pair<Key, std::shared_ptr<Tile>>> kept_;
    std::vector<std::shared_ptr<Tile>> spare_;  // tiles no longer kept nor held
};

// X slowest, Y, then Z fastest: the values of each Z run six to a line, the run ending
// its last line. The walk's planes are X, its rows Y, its points Z.
void emit_values(const WholeCell& cell, int threads, OutputSink& sink)
{
    GridWalk walk;
    walk.planes = cell.points[0];
    walk.rows = cell.points[1];
    walk.points = cell.points[2];
    CellTiles tiles(cell);
    const auto length_of = [&](const WalkPiece& piece) {
        return static_cast<std::size_t>(piece.rows) *
               value_lines_length(piece.first, piece.last, walk.points);
    };
    write_grid_walk(sink, walk, threads, length_of, [&](const WalkPiece& piece, char* out) {
        const std::size_t run_length = value_lines_length(piece.first, piece.last, walk.points);
        WalkPiece at = piece;
        std::shared_ptr<const Tile> tile;
        for (std::int64_t r = 0; r < piece.rows; ++r, next_row(walk, at)) {
            if (!tile || !tile->holds(at.plane, at.row)) {
                tiles.release(tile);  // free to be turned again, if no longer kept
                tile = tiles.tile_of(at.plane, at.row);
            }
            const auto run = (static_cast<std::size_t>(at.plane - tile->first_plane) *
                                  static_cast<std::size_t>(tile->rows) +
                              static_cast<std::size_t>(at.row - tile->first_row)) *
                             static_cast<std::size_t>(walk.points);
            write_value_lines(out, tile->values.data() + run + piece.first, piece.first,
                              piece.last, walk.points);
            out += run_length;
        }
        tiles.release(tile);
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
