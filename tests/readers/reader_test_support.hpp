// Small helpers shared by the reader tests.
#pragma once

#include "common/fatal.hpp"

#include <gtest/gtest.h>

#include <string>

// The message of the FatalError that `action` throws on standard error; empty (and a
// test failure) when it does not throw.
template <typename Action>
std::string fatal_message(Action action)
{
    try {
        action();
    } catch (const FatalError& error) {
        EXPECT_EQ(error.stream, FatalStream::err);
        return error.what();
    }
    ADD_FAILURE() << "no fatal error";
    return "";
}
