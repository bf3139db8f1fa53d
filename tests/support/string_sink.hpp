// An output sink that keeps what it is handed in memory, noting the pieces, and can be
// told to fail once a number of bytes went through, as a full disk would.
#pragma once

#include "writers/output_sink.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

class StringSink final : public grix::OutputSink {
public:
    explicit StringSink(std::size_t fail_after = std::numeric_limits<std::size_t>::max(),
                        bool rewritable = true)
        : fail_after_(fail_after), rewritable_(rewritable)
    {
    }

    bool can_rewrite() const override { return rewritable_; }

    // Everything handed over, once the writer is done.
    const std::string& finish()
    {
        flush();
        return text;
    }

    std::string text;
    std::size_t largest_piece = 0;
    int pieces = 0;

private:
    void put(const char* data, std::size_t size) override
    {
        if (size > fail_after_ - text.size())
            throw std::runtime_error("output failed");
        text.append(data, size);
        largest_piece = std::max(largest_piece, size);
        ++pieces;
    }

    void put_at(std::size_t offset, std::string_view bytes) override
    {
        if (offset + bytes.size() > text.size())
            throw std::logic_error("rewritten beyond what was handed on");
        text.replace(offset, bytes.size(), bytes);
    }

    std::size_t fail_after_;
    bool rewritable_;
};
