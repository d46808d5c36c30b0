#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <TopoDS_Shape.hxx>

#include "occt_assembly.h"
#include "occt_parts.h"

namespace velmora::occt {

struct ReadOptions {
    // Hears how far the reading has come (0..1).
    std::function<void(const std::string& stage, double fraction)> progress;
    // The code page of the file's 8-bit names (see code_page_named); empty:
    // UTF-8 where they are valid UTF-8, else the locale language's code page.
    std::string codepage;
    // Hears what the user should know about the reading (a guessed code page).
    std::function<void(const std::string& message)> warn;
};

// Reads STEP (.step, .stp), IGES (.igs, .iges) or BREP (.brep, millimetres)
// with lengths in metres. A missing, empty, unreadable or shape-less file
// fails with a message that names it; so does an unknown code page.
OcctModel read_model(const std::string& path, const ReadOptions& options = {});

}  // namespace velmora::occt
