// Small helpers shared by the reader tests.
#pragma once

#include "common/fatal.hpp"
#include "driver/conversation.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"
#include "support/string_console.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

// The message of the FatalError that `action` throws on standard error; empty (and a
// test failure) when it does not throw.
template <typename Action>
std::string fatal_message(Action action)
{
    try {
        action();
    } catch (const grix::FatalError& error) {
        EXPECT_EQ(error.stream, grix::FatalStream::err);
        return error.what();
    }
    ADD_FAILURE() << "no fatal error";
    return "";
}

// The FCLC map of an experiment name, found and read in the steps of a run.
struct MapReading {
    std::string name;  // the file found
    std::string dump;  // the "-v" dump of the header, shown before it is checked
    grix::FourierMap map;

    // A fatal error leaves what was read before it; a map file not found is a test
    // failure.
    void read(const std::string& expnam)
    {
        std::vector<grix::FailedOpen> failures;
        std::optional<grix::InputFile> file = grix::open_first(
            grix::map_file_candidates(grix::cut_at_extension(expnam), "FCLC"), failures);
        ASSERT_TRUE(file) << "no map file for " << expnam;
        name = file->name;
        grix::MapFileStart start = grix::read_map_header(std::move(*file));
        StringConsole io;
        grix::print_map_header(io.console, start.header, start.record_size);
        dump = io.out.str();
        map = grix::read_map_sections(start);
    }
};
