#pragma once
// Densities of the materials a STEP file gives its parts (AP214 material
// properties: a "material property" named "material name" and one named
// "density" for the same product).
#include <optional>
#include <string>
#include <unordered_map>

#include <Interface_InterfaceModel.hxx>
#include <TopoDS_TShape.hxx>
#include <Transfer_TransientProcess.hxx>

namespace velmora::occt {

struct StepMaterial {
    std::string name;  // as the file's text holds it
    // In kg/m^3, converted from the file's unit; none where that unit is not
    // a mass over a length cubed.
    std::optional<double> density;
};

// By the shape of each product that the file gives a material with a
// density (as `process` transferred it): two products may name one material
// and give it different densities.
std::unordered_map<const TopoDS_TShape*, StepMaterial> step_materials(const Handle(Interface_InterfaceModel) & model,
                                                                      const Handle(Transfer_TransientProcess) & process);

}  // namespace velmora::occt
