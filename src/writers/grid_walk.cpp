#include "writers/grid_walk.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace grix {

namespace {

// Points per piece: a quarter to one megabyte of output, small enough to keep both cores
// busy to the end of a file and to bound the memory held, large enough that handing
// pieces between threads costs nothing noticeable (at a quarter of this, the waking of
// threads took a tenth of a binary map's time).
constexpr std::int64_t PIECE_POINTS = 1 << 16;

// More threads than this only wait for the disk.
constexpr int MAX_THREADS = 8;

int count_threads(int requested)
{
    if (requested > 0)
        return std::min(requested, MAX_THREADS);
    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, MAX_THREADS);
}

WalkPiece start_walk(const GridWalk& walk)
{
    WalkPiece position;
    std::copy(walk.start, walk.start + 3, position.coordinate);
    return position;
}

// The piece that starts at `cursor`, which moves on to the start of the next; false at
// the end of the walk. Rows are kept whole unless one alone holds more than a piece.
bool cut_piece(const GridWalk& walk, WalkPiece& cursor, WalkPiece& piece)
{
    if (cursor.plane >= walk.planes || walk.rows <= 0)
        return false;
    piece = cursor;
    if (walk.points <= PIECE_POINTS) {
        const std::int64_t wanted = PIECE_POINTS / std::max<std::int64_t>(walk.points, 1);
        const std::int64_t left = (walk.planes - cursor.plane) * walk.rows - cursor.row;
        piece.rows = std::min(wanted, left);
        piece.first = 0;
        piece.last = walk.points;
        for (std::int64_t n = 0; n < piece.rows; ++n)
            next_row(walk, cursor);
        return true;
    }
    piece.rows = 1;
    piece.last = std::min(cursor.first + PIECE_POINTS, walk.points);
    for (std::int64_t n = cursor.first; n < piece.last; ++n)
        cursor.coordinate[0] += walk.step[0];
    cursor.first = piece.last;
    if (cursor.first == walk.points)
        next_row(walk, cursor);
    return true;
}

// Puts the text of a piece in place of the text of an earlier piece, which `text` holds.
using PieceReplacer = std::function<void(const WalkPiece& piece, std::string& text)>;

// Formats and hands over the pieces one after the other on the calling thread.
void write_in_order(OutputSink& sink, const GridWalk& walk, const PieceReplacer& format_piece)
{
    WalkPiece cursor = start_walk(walk);
    WalkPiece piece;
    std::string text;
    while (cut_piece(walk, cursor, piece)) {
        format_piece(piece, text);
        sink.write_block(text.data(), text.size());
    }
}

struct Slot {
    WalkPiece piece;
    std::string text;
    bool ready = false;
};

// Pieces go round a ring of slots: the writing thread describes piece n into slot
// n % size once piece n - size is written; the workers, and the writing thread while it
// waits, format the pieces in the order described; the writing thread writes each when
// it is ready, in order.
struct Pipeline {
    std::mutex mutex;
    std::condition_variable work;   // a piece to format, or the end
    std::condition_variable ready;  // a piece formatted, or a failure
    std::vector<Slot> slots;
    std::int64_t described = 0;
    std::int64_t taken = 0;
    bool finished = false;  // every piece is described
    bool stopped = false;   // a failure: everyone leaves
    std::exception_ptr failure;
};

// Formats the oldest piece not yet taken. Called, and returns, with the lock held.
void format_next(Pipeline& pipeline, std::unique_lock<std::mutex>& lock,
                 const PieceReplacer& format_piece)
{
    const auto ring = static_cast<std::int64_t>(pipeline.slots.size());
    Slot& slot = pipeline.slots[static_cast<std::size_t>(pipeline.taken++ % ring)];
    lock.unlock();
    format_piece(slot.piece, slot.text);
    lock.lock();
    slot.ready = true;
    pipeline.ready.notify_all();
}

void format_pieces(Pipeline& pipeline, const PieceReplacer& format_piece)
{
    std::unique_lock lock(pipeline.mutex);
    for (;;) {
        pipeline.work.wait(lock, [&] {
            return pipeline.stopped || pipeline.taken < pipeline.described || pipeline.finished;
        });
        if (pipeline.stopped || pipeline.taken == pipeline.described)
            return;
        try {
            format_next(pipeline, lock, format_piece);
        } catch (...) {
            if (!lock.owns_lock())
                lock.lock();
            pipeline.failure = std::current_exception();
            pipeline.stopped = true;
            pipeline.ready.notify_all();
            return;
        }
    }
}

// Started workers are stopped and joined however the writing ends, a failed write too.
struct Workers {
    Pipeline& pipeline;
    std::vector<std::thread> threads;
    ~Workers()
    {
        {
            const std::lock_guard lock(pipeline.mutex);
            pipeline.stopped = true;
        }
        pipeline.work.notify_all();
        for (std::thread& thread : threads)
            thread.join();
    }
};

// `threads` - 1 workers and the calling thread format; the calling thread writes.
void write_in_parallel(OutputSink& sink, const GridWalk& walk, int threads,
                       const PieceReplacer& format_piece)
{
    Pipeline pipeline;
    pipeline.slots.resize(2 * static_cast<std::size_t>(threads));
    const auto ring = static_cast<std::int64_t>(pipeline.slots.size());
    Workers workers{pipeline, {}};
    for (int n = 1; n < threads; ++n) {
        try {
            workers.threads.emplace_back(format_pieces, std::ref(pipeline),
                                         std::cref(format_piece));
        } catch (const std::system_error&) {
            break;  // the system has no more threads to give: go on with those started
        }
    }

    WalkPiece cursor = start_walk(walk);
    for (std::int64_t written = 0;; ++written) {
        std::unique_lock lock(pipeline.mutex);
        while (!pipeline.finished && pipeline.described - written < ring) {
            Slot& slot = pipeline.slots[static_cast<std::size_t>(pipeline.described % ring)];
            if (!cut_piece(walk, cursor, slot.piece)) {
                pipeline.finished = true;
                break;
            }
            slot.ready = false;
            ++pipeline.described;
        }
        pipeline.work.notify_all();
        if (written == pipeline.described)
            return;
        Slot& slot = pipeline.slots[static_cast<std::size_t>(written % ring)];
        while (!slot.ready && !pipeline.stopped) {
            if (pipeline.taken < pipeline.described)
                format_next(pipeline, lock, format_piece);
            else
                pipeline.ready.wait(lock);
        }
        if (pipeline.stopped)
            std::rethrow_exception(pipeline.failure);
        lock.unlock();
        sink.write_block(slot.text.data(), slot.text.size());
    }
}

void write_walk(OutputSink& sink, const GridWalk& walk, int threads,
                const PieceReplacer& format_piece)
{
    threads = count_threads(threads);
    if (threads > 1)
        write_in_parallel(sink, walk, threads, format_piece);
    else
        write_in_order(sink, walk, format_piece);
}

}  // namespace

void next_row(const GridWalk& walk, WalkPiece& position)
{
    position.first = 0;
    position.coordinate[0] = walk.start[0];
    if (++position.row < walk.rows) {
        position.coordinate[1] += walk.step[1];
        return;
    }
    position.row = 0;
    position.coordinate[1] = walk.start[1];
    ++position.plane;
    position.coordinate[2] += walk.step[2];
}

void write_grid_walk(OutputSink& sink, const GridWalk& walk, int threads,
                     const PieceFormatter& format_piece)
{
    write_walk(sink, walk, threads, [&](const WalkPiece& piece, std::string& text) {
        text.clear();
        format_piece(piece, text);
    });
}

void write_grid_walk(OutputSink& sink, const GridWalk& walk, int threads,
                     std::size_t bytes_per_point, const PieceEncoder& encode_piece)
{
    write_grid_walk(
        sink, walk, threads,
        [&](const WalkPiece& piece) {
            const std::int64_t points = piece.rows * (piece.last - piece.first);
            return bytes_per_point * static_cast<std::size_t>(points);
        },
        [&](const WalkPiece& piece, char* out) {
            encode_piece(piece, reinterpret_cast<unsigned char*>(out));
        });
}

void write_grid_walk(OutputSink& sink, const GridWalk& walk, int threads,
                     const PieceLength& length_of, const PieceWriter& write_piece)
{
    write_walk(sink, walk, threads, [&](const WalkPiece& piece, std::string& text) {
        text.resize(length_of(piece));  // no change from a piece of the same length
        write_piece(piece, text.data());
    });
}

}  // namespace grix
