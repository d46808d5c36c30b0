#pragma once
#include <optional>
#include <string>
#include <vector>

// The EMC configuration as stored in a .emc file: CAD objects are named by
// the add-in's persistent ids, which survive between runs of the CAD system.
namespace EMC {

struct CAD_obj {
    std::string id;  // persistent id
    std::string name;
    std::optional<bool> include;
    std::optional<bool> geom;
};

struct M_obj {
    enum MethodType { solid = 0, solidB = 1, point = 2 };
    std::string name;
    int method = solid;
    std::optional<double> size_min;  // millimetres
    std::optional<std::string> comment;
    std::vector<CAD_obj> cad_objects;
};

struct Config {
    int32_t major = 1;
    int32_t minor = 0;
    std::optional<std::string> inform;
    std::vector<M_obj> objects;
};

}  // namespace EMC

// Reads a file (8-bit path); throws std::runtime_error with the reason.
EMC::Config read_emc(const std::string& path);

// Writes a file (8-bit path) whole or not at all: a failed write (a full
// disk, no permission) keeps the previous file and leaves nothing behind,
// and throws std::runtime_error naming the file and the reason;
// std::logic_error for a method that has no name.
void write_emc(const EMC::Config& config, const std::string& path);

// `config` in the file's own form, as a saved configuration is written:
// version 1.0, a size for solidB alone, no empty comment, and the flags only
// where they differ from their meaning when absent.
EMC::Config stored_form(EMC::Config config);

// The file's text, exactly as write_emc stores it.
std::string format_emc(const EMC::Config& config);
