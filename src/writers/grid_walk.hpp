// The body of a map file written as a walk over a grid: planes (slowest), rows within a
// plane, points within a row (fastest), the nested loops of every writer. The walk is
// cut into pieces that several threads format at once while the calling thread hands
// them to the file strictly in order, so the file holds the bytes of a single pass
// whatever the number of threads, and only a few pieces are held in memory at a time.
#pragma once

#include "writers/output_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace grix {

// Each level may carry a running float coordinate: it starts at `start` with its parent
// and grows by `step` with every move, the sums rounded to float as in the loops, never
// recomputed as start + index x step. Index 0 is the point level, 1 rows, 2 planes.
struct GridWalk {
    std::int64_t points = 0;  // per row
    std::int64_t rows = 0;    // per plane
    std::int64_t planes = 0;
    float start[3] = {};
    float step[3] = {};
};

// A stretch of the walk: `rows` whole rows from (plane, row), or when rows of the walk
// are long, the points [first, last) of one row. `coordinate` holds the running
// coordinates at the stretch's first point.
struct WalkPiece {
    std::int64_t plane = 0;
    std::int64_t row = 0;
    std::int64_t rows = 0;
    std::int64_t first = 0;
    std::int64_t last = 0;
    float coordinate[3] = {};
};

// Appends the text of a piece; runs on any thread, so it may only read shared data.
using PieceFormatter = std::function<void(const WalkPiece& piece, std::string& text)>;

// Writes the bytes of a piece at `out`, `bytes_per_point` for each of its points (the
// binary formats); runs on any thread, so it may only read shared data.
using PieceEncoder = std::function<void(const WalkPiece& piece, unsigned char* out)>;

// For text whose length is known before it is written: the characters of a piece, and
// a writer that puts exactly that many at `out` and no more. Runs on any thread.
using PieceLength = std::function<std::size_t(const WalkPiece& piece)>;
using PieceWriter = std::function<void(const WalkPiece& piece, char* out)>;

// Moves `position` (plane, row, coordinates) to the start of the next row.
void next_row(const GridWalk& walk, WalkPiece& position);

// Formats the whole walk piece by piece on `threads` threads (0: one per core), the
// calling thread among them, and hands each piece whole to `sink` in order from the
// calling thread. With one thread no other thread is started.
void write_grid_walk(OutputSink& sink, const GridWalk& walk, int threads,
                     const PieceFormatter& format_piece);

// The same for pieces of a fixed number of bytes per point. Their room is kept from one
// piece to the next, so that it is not cleared before being overwritten.
void write_grid_walk(OutputSink& sink, const GridWalk& walk, int threads,
                     std::size_t bytes_per_point, const PieceEncoder& encode_piece);

// The same for text of a length known beforehand, kept from piece to piece alike.
void write_grid_walk(OutputSink& sink, const GridWalk& walk, int threads,
                     const PieceLength& length_of, const PieceWriter& write_piece);

}  // namespace grix
