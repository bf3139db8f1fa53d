// Work over a range of items split in two, for passes that read memory and do little else:
// two cores read it faster than one.
#pragma once

#include <cstddef>
#include <future>
#include <system_error>
#include <utility>

namespace grix {

// A pass over fewer values than this is not worth a thread's start.
constexpr std::size_t VALUES_WORTH_A_THREAD = std::size_t{1} << 20;

// `work(first, end)` over [0, middle) and [middle, count), the first half on a thread of
// its own when `worth_a_thread` and one can be had; both results, first half first.
template <class Work>
auto work_in_two_halves(std::size_t count, bool worth_a_thread, Work work)
{
    using Result = decltype(work(std::size_t{0}, count));
    const std::size_t middle = count / 2;
    if (worth_a_thread && middle > 0) {
        try {
            std::future<Result> first = std::async(std::launch::async, work, std::size_t{0}, middle);
            Result second = work(middle, count);
            return std::pair<Result, Result>{first.get(), std::move(second)};
        } catch (const std::system_error&) {
            // no thread to spare: both on this one
        }
    }
    return std::pair<Result, Result>{work(0, middle), work(middle, count)};
}

}  // namespace grix
