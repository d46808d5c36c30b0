#include "emc_file.h"

#include <charconv>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "common/atomic_file.h"

namespace {

constexpr const char* kLoadError = "Unable to load EMC file! \n";

const char* method_name(int method)
{
    switch (method) {
    case EMC::M_obj::solid: return "solid";
    case EMC::M_obj::solidB: return "solidB";
    case EMC::M_obj::point: return "point";
    default: throw std::logic_error(fmt::format("ERROR! Unknown EMC::M_obj::MethodType: {}", method));
    }
}

pugi::xml_attribute mandatory(const pugi::xml_node& node, const char* name)
{
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) throw std::runtime_error(fmt::format("{}Mandatory attribute {} is empty!", kLoadError, name));
    return attribute;
}

int read_method(const pugi::xml_attribute& attribute)
{
    const std::string value = attribute.value();
    if (value == "solid") return EMC::M_obj::solid;
    if (value == "solidB") return EMC::M_obj::solidB;
    if (value == "point") return EMC::M_obj::point;
    throw std::runtime_error(fmt::format(
        "{} Attribute {} has wrong value! \nValid types: \"solid\", \"solidB\", \"point\". Got: \"{}\"", kLoadError,
        attribute.name(), value));
}

// A decimal number with "." whatever the user's locale (pugixml's as_double
// follows LC_NUMERIC, which reads "2.5" as 2 under a Russian locale). As
// strtod would: leading white space and a sign are taken, the rest after
// the number is ignored, and text that is no number gives 0.
double read_decimal(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    if (*text == '+') ++text;
    double value = 0;
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    return error == std::errc() || error == std::errc::result_out_of_range ? value : 0.0;
}

pugi::xml_document build_document(const EMC::Config& config)
{
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "windows-1251";
    pugi::xml_node root = doc.append_child("EMC");
    pugi::xml_node header = root.append_child("header");
    header.append_attribute("minorVersion") = std::to_string(config.minor).c_str();
    header.append_attribute("majorVersion") = std::to_string(config.major).c_str();
    if (config.inform) header.append_attribute("inform") = config.inform->c_str();
    for (const EMC::M_obj& object : config.objects) {
        pugi::xml_node m = root.append_child("M_obj");
        m.append_attribute("name") = object.name.c_str();
        m.append_attribute("method") = method_name(object.method);
        if (object.comment) m.append_attribute("comment") = object.comment->c_str();
        // Shortest text that reads back as the same number.
        if (object.size_min) m.append_attribute("sizeMin") = fmt::format("{}", *object.size_min).c_str();
        for (const EMC::CAD_obj& cad : object.cad_objects) {
            pugi::xml_node c = m.append_child("CAD_obj");
            c.append_attribute("ID") = cad.id.c_str();
            c.append_attribute("name") = cad.name.c_str();
            if (cad.include) c.append_attribute("include") = *cad.include ? "true" : "false";
            if (cad.geom) c.append_attribute("geom") = *cad.geom ? "true" : "false";
        }
    }
    return doc;
}

}  // namespace

EMC::Config read_emc(const std::string& path)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) throw std::runtime_error(kLoadError + std::string(parsed.description()));

    EMC::Config config;
    const pugi::xml_node root = doc.child("EMC");
    const pugi::xml_node header = root.child("header");
    config.minor = mandatory(header, "minorVersion").as_int();
    config.major = mandatory(header, "majorVersion").as_int();
    if (const pugi::xml_attribute inform = header.attribute("inform")) config.inform = inform.value();

    for (const pugi::xml_node m : root.children("M_obj")) {
        EMC::M_obj object;
        object.name = mandatory(m, "name").value();
        object.method = read_method(mandatory(m, "method"));
        if (const pugi::xml_attribute size = m.attribute("sizeMin")) object.size_min = read_decimal(size.value());
        if (const pugi::xml_attribute comment = m.attribute("comment")) object.comment = comment.value();
        for (const pugi::xml_node c : m.children("CAD_obj")) {
            EMC::CAD_obj cad;
            cad.id = mandatory(c, "ID").value();
            cad.name = mandatory(c, "name").value();
            if (const pugi::xml_attribute include = c.attribute("include")) cad.include = include.as_bool();
            if (const pugi::xml_attribute geom = c.attribute("geom")) cad.geom = geom.as_bool();
            object.cad_objects.push_back(std::move(cad));
        }
        if (object.cad_objects.empty())
            throw std::runtime_error(fmt::format("{}M_obj node must have at least one CAD_obj child. {} is empty!",
                                                 kLoadError, object.name));
        config.objects.push_back(std::move(object));
    }
    return config;
}

EMC::Config stored_form(EMC::Config config)
{
    config.major = 1;
    config.minor = 0;
    for (EMC::M_obj& item : config.objects) {
        if (item.method != EMC::M_obj::solidB) item.size_min.reset();
        if (item.comment && item.comment->empty()) item.comment.reset();
        for (EMC::CAD_obj& object : item.cad_objects) {
            if (object.include.value_or(true)) object.include.reset();
            if (!object.geom.value_or(false)) object.geom.reset();
        }
    }
    return config;
}

std::string format_emc(const EMC::Config& config)
{
    std::ostringstream text;
    build_document(config).save(text, "  ", pugi::format_default, pugi::encoding_utf8);
    return text.str();
}

void write_emc(const EMC::Config& config, const std::string& path)
{
    // Not QSaveFile: Qt 6.4 commits a file cut short by a full disk (or a
    // file-size limit) and reports success.
    velmora::files::replace_file(path, format_emc(config), "the EMC file");
}
