#include "occt_component.h"

#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include "host_interface/host_text.h"
#include "occt_feature.h"
#include "occt_tessellation.h"

namespace velmora::occt {

using cad::utf8_from_utf16;
using cad::utf16_from_utf8;

bool OcctBody::select(bool, const cad::SelectionOptionsPtr&)
{
    return state->note_selection(true, "body", utf8_from_utf16(name), key());
}

bool OcctBody::deselect() { return state->note_selection(false, "body", utf8_from_utf16(name), key()); }

cad::TessellationPtr OcctBody::get_tessellation(int)
{
    // One object for every occurrence of the part's solid while anyone holds
    // it, as their triangles are the same: a caller that keeps meshes by
    // tessellation walks the part once, not once per occurrence.
    std::weak_ptr<cad::Tessellation>& shared = state->tessellations[{part, solid_index}];
    if (cad::TessellationPtr held = shared.lock()) return held;
    auto made = std::make_shared<OcctTessellation>(state, part, solid_index);
    shared = made;
    return made;
}

cad::MassPropertiesResult OcctBody::get_mass_properties(double density)
{
    // The file's material, where it gives one, before the host's setting.
    return state->mass_properties(part, solid_index, state->model.parts[static_cast<std::size_t>(part)].density.value_or(density));
}

cad::FacePtr OcctBody::get_first_face()
{
    if (faces_) return faces_;
    const OcctPart& p = state->model.parts[static_cast<std::size_t>(part)];
    const TopoDS_Shape& solid = p.solids[static_cast<std::size_t>(solid_index)];
    // The face's own colour, else its solid's, else the part's.
    auto colour_of = [&p](const TopoDS_Shape& shape) -> std::optional<Rgb> {
        for (const auto& [sub, rgb] : p.sub_colours)
            if (sub.IsPartner(shape)) return rgb;
        return std::nullopt;
    };
    std::optional<Rgb> body_colour = colour_of(solid);
    if (!body_colour) body_colour = p.colour;
    std::shared_ptr<OcctFace> last;
    int index = 0;
    for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next()) {
        auto f = std::make_shared<OcctFace>();
        f->part = part;
        f->solid = solid_index;
        f->index = index++;
        std::optional<Rgb> colour = p.sub_colours.empty() ? std::nullopt : colour_of(e.Current());
        if (!colour) colour = body_colour;
        if (colour) f->appearance = {(*colour)[0], (*colour)[1], (*colour)[2]};
        (last ? last->next : faces_) = f;
        last = f;
    }
    return faces_;
}

cad::FeaturePtr OcctComponent::get_first_feature() { return features; }

bool OcctComponent::select(bool, const cad::SelectionOptionsPtr&, bool)
{
    return state->note_selection(true, "component", utf8_from_utf16(name), key());
}

bool OcctComponent::deselect() { return state->note_selection(false, "component", utf8_from_utf16(name), key()); }

std::vector<std::shared_ptr<OcctBody>> bodies_of(const StatePtr& state, int part, const std::string& path)
{
    std::vector<std::shared_ptr<OcctBody>> out;
    if (part < 0) return out;
    const OcctPart& p = state->model.parts[static_cast<std::size_t>(part)];
    for (std::size_t i = 0; i < p.solids.size(); ++i) {
        auto b = std::make_shared<OcctBody>();
        b->state = state;
        b->part = part;
        b->solid_index = static_cast<int>(i);
        b->name = utf16_from_utf8(solid_name(p, i));
        b->persistent_id = bytes_of(body_key(path, i));
        out.push_back(std::move(b));
    }
    return out;
}

std::shared_ptr<OcctComponent> component_of(const StatePtr& state, const OcctOccurrence& occurrence, bool shown)
{
    auto c = std::make_shared<OcctComponent>();
    c->state = state;
    c->name = utf16_from_utf8(occurrence.name);
    c->persistent_id = bytes_of(occurrence.path);
    const gp_Trsf& t = occurrence.placement;
    c->transform = {t.Value(1, 1), t.Value(1, 2), t.Value(1, 3), t.Value(2, 1), t.Value(2, 2), t.Value(2, 3),
                    t.Value(3, 1), t.Value(3, 2), t.Value(3, 3), t.Value(1, 4), t.Value(2, 4), t.Value(3, 4),
                    1,             0,             0,             0};
    c->bodies = bodies_of(state, occurrence.part, occurrence.path);
    std::vector<OcctFeature> features = occurrence.features;
    if (occurrence.part >= 0) {
        const auto& own = state->model.parts[static_cast<std::size_t>(occurrence.part)].features;
        features.insert(features.begin(), own.begin(), own.end());
    }
    // A hidden occurrence hides everything below it.
    shown = shown && occurrence.visible;
    if (!shown)
        for (auto& f : features) f.visible = false;
    c->features = feature_chain(state, features, occurrence.path);
    for (const auto& child : occurrence.children) c->children.push_back(component_of(state, child, shown));
    return c;
}

}  // namespace velmora::occt
