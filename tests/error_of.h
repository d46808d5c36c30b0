#pragma once
#include <gtest/gtest.h>

#include <exception>
#include <string>

namespace velmora::testing {

// The message of the `E` that `f` throws; a test failure (and "") where it
// throws nothing. An exception of another kind fails the test as uncaught.
template <class E = std::exception, class F>
std::string error_of(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

}  // namespace velmora::testing
