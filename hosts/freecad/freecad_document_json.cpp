#include "freecad_document.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace velmora::freecad {
namespace {

using Json = nlohmann::json;

std::optional<occt::Rgb> colour_of(const Json& value)
{
    if (value.is_null()) return std::nullopt;
    if (!value.is_array() || value.size() < 3) throw std::invalid_argument("a colour needs red, green and blue");
    return occt::Rgb{value[0].get<double>(), value[1].get<double>(), value[2].get<double>()};
}

FreecadNode node_of(const Json& j)
{
    FreecadNode node;
    node.label = j.at("label").get<std::string>();
    node.path = j.at("path").get<std::string>();
    node.visible = j.at("visible").get<bool>();
    const auto matrix = j.at("matrix").get<std::vector<double>>();
    if (matrix.size() != node.matrix.size()) throw std::invalid_argument("a placement needs 12 numbers");
    std::copy(matrix.begin(), matrix.end(), node.matrix.begin());
    node.shape = j.at("shape").get<int>();
    for (const auto& child : j.at("children")) node.children.push_back(node_of(child));
    return node;
}

}  // namespace

FreecadDocument freecad_document_from_json(std::string_view text)
{
    try {
        const Json j = Json::parse(text);
        if (j.contains("error")) throw std::runtime_error(j["error"].get<std::string>());
        FreecadDocument document;
        document.label = j.at("label").get<std::string>();
        for (const auto& s : j.at("shapes")) {
            FreecadShape shape;
            shape.label = s.at("label").get<std::string>();
            shape.brep = s.at("brep").get<std::string>();
            shape.colour = colour_of(s.at("colour"));
            for (const auto& c : s.at("face_colours")) shape.face_colours.push_back(*colour_of(c));
            shape.line_colour = colour_of(s.at("line_colour"));
            shape.point_colour = colour_of(s.at("point_colour"));
            document.shapes.push_back(std::move(shape));
        }
        for (const auto& node : j.at("top")) document.top.push_back(node_of(node));
        return document;
    } catch (const Json::exception& e) {
        throw std::invalid_argument(std::string("the snapshot is not one: ") + e.what());
    }
}

}  // namespace velmora::freecad
