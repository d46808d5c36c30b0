#pragma once
#include <string>

namespace velmora::examples {

// Writes the small sample assembly (STEP, millimetres): a sub-assembly with a
// part placed twice, parts of one to three solids, colours on parts and on
// one face, a part with a reference curve and two reference points (one
// hidden), and a curve of the assembly itself. Throws when it cannot write.
void write_sample_model(const std::string& path);

// A shelf of two boxes and two lines, one of each hidden in the file.
void write_hidden_parts_model(const std::string& path);

}  // namespace velmora::examples
