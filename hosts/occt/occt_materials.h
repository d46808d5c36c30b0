#pragma once
// Densities of the materials a STEP file gives its parts (AP214 material
// properties: a "material property" named "material name" and one named
// "density" for the same product).
#include <map>
#include <optional>
#include <string>

#include <Interface_InterfaceModel.hxx>

namespace velmora::occt {

// By material name (as the file's text holds it): the density in kg/m^3,
// converted from the file's unit; none where that unit is not a mass over
// a length cubed.
std::map<std::string, std::optional<double>> step_material_densities(const Handle(Interface_InterfaceModel) & model);

}  // namespace velmora::occt
