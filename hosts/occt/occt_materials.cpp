#include "occt_materials.h"

#include <cmath>
#include <map>
#include <vector>

#include <STEPConstruct_UnitContext.hxx>
#include <StepBasic_ConversionBasedUnit.hxx>
#include <StepBasic_DerivedUnit.hxx>
#include <StepBasic_DerivedUnitElement.hxx>
#include <StepBasic_MeasureWithUnit.hxx>
#include <StepBasic_NamedUnit.hxx>
#include <StepBasic_SiUnit.hxx>
#include <StepRepr_DescriptiveRepresentationItem.hxx>
#include <StepShape_ShapeDefinitionRepresentation.hxx>
#include <TransferBRep.hxx>
#include <StepRepr_MeasureRepresentationItem.hxx>
#include <StepRepr_PropertyDefinition.hxx>
#include <StepRepr_PropertyDefinitionRepresentation.hxx>
#include <StepRepr_Representation.hxx>
#include <TCollection_HAsciiString.hxx>

namespace velmora::occt {
namespace {

// A unit of mass (in kg) or length (in m).
struct BaseUnit {
    bool mass;
    double si;
};

std::optional<BaseUnit> base_unit(const Handle(StepBasic_NamedUnit) & unit, int depth = 0)
{
    if (unit.IsNull() || depth > 4) return std::nullopt;
    if (auto si = Handle(StepBasic_SiUnit)::DownCast(unit)) {
        const double prefix = si->HasPrefix() ? STEPConstruct_UnitContext::ConvertSiPrefix(si->Prefix()) : 1.0;
        if (si->Name() == StepBasic_sunGram) return BaseUnit{true, prefix * 0.001};
        if (si->Name() == StepBasic_sunMetre) return BaseUnit{false, prefix};
        return std::nullopt;
    }
    // A pound or an inch: a number of another unit.
    if (auto converted = Handle(StepBasic_ConversionBasedUnit)::DownCast(unit)) {
        const Handle(StepBasic_MeasureWithUnit) factor = converted->ConversionFactor();
        if (factor.IsNull()) return std::nullopt;
        auto inner = base_unit(factor->UnitComponent().NamedUnit(), depth + 1);
        if (inner) inner->si *= factor->ValueComponent();
        return inner;
    }
    return std::nullopt;
}

// kg/m^3 for a mass over a length cubed.
std::optional<double> density_in_si(const Handle(StepBasic_MeasureWithUnit) & measure)
{
    if (measure.IsNull()) return std::nullopt;
    const Handle(StepBasic_DerivedUnit) derived = measure->UnitComponent().DerivedUnit();
    if (derived.IsNull()) return std::nullopt;
    double factor = 1.0, mass = 0.0, length = 0.0;
    for (int i = 1; i <= derived->NbElements(); ++i) {
        const Handle(StepBasic_DerivedUnitElement) element = derived->ElementsValue(i);
        const auto unit = element.IsNull() ? std::nullopt : base_unit(element->Unit());
        if (!unit) return std::nullopt;
        (unit->mass ? mass : length) += element->Exponent();
        factor *= std::pow(unit->si, element->Exponent());
    }
    if (mass != 1.0 || length != -3.0) return std::nullopt;
    const double value = measure->ValueComponent() * factor;
    return std::isfinite(value) && value > 0 ? std::optional<double>(value) : std::nullopt;
}

bool named(const Handle(TCollection_HAsciiString) & text, const char* name)
{
    return !text.IsNull() && text->String().IsEqual(name);
}

}  // namespace

std::unordered_map<const TopoDS_TShape*, StepMaterial> step_materials(const Handle(Interface_InterfaceModel) & model,
                                                                      const Handle(Transfer_TransientProcess) & process)
{
    // Per characterized definition (a product's shape definition, or the
    // product definition itself): its material's name and density.
    struct Found {
        std::string name;
        bool has_density = false;
        std::optional<double> density;
    };
    std::map<const Standard_Transient*, Found> by_definition;
    // The shape each of those definitions has, through its shape definition representation.
    std::map<const Standard_Transient*, TopoDS_Shape> shapes;
    for (int i = 1; !model.IsNull() && i <= model->NbEntities(); ++i) {
        if (const auto sdr = Handle(StepShape_ShapeDefinitionRepresentation)::DownCast(model->Value(i))) {
            const Handle(StepRepr_PropertyDefinition) shape_definition = sdr->Definition().PropertyDefinition();
            if (shape_definition.IsNull() || process.IsNull()) continue;
            const TopoDS_Shape shape = TransferBRep::ShapeResult(process, sdr->UsedRepresentation());
            if (shape.IsNull()) continue;
            shapes.emplace(shape_definition.get(), shape);
            shapes.emplace(shape_definition->Definition().Value().get(), shape);
            continue;
        }
        const auto pdr = Handle(StepRepr_PropertyDefinitionRepresentation)::DownCast(model->Value(i));
        if (pdr.IsNull()) continue;
        const Handle(StepRepr_PropertyDefinition) property = pdr->Definition().PropertyDefinition();
        const Handle(StepRepr_Representation) representation = pdr->UsedRepresentation();
        if (property.IsNull() || representation.IsNull() || !named(property->Name(), "material property")) continue;
        const Handle(StepRepr_RepresentationItem) item =
            representation->NbItems() > 0 ? representation->ItemsValue(1) : Handle(StepRepr_RepresentationItem)();
        if (item.IsNull()) continue;
        Found& found = by_definition[property->Definition().Value().get()];
        if (named(property->Description(), "material name")) {
            if (!item->Name().IsNull()) found.name = item->Name()->ToCString();
        } else if (named(property->Description(), "density")) {
            found.has_density = true;
            if (auto measure = Handle(StepRepr_MeasureRepresentationItem)::DownCast(item))
                found.density = density_in_si(measure->Measure());
        }
    }
    std::unordered_map<const TopoDS_TShape*, StepMaterial> out;
    for (const auto& [definition, found] : by_definition) {
        const auto shape = shapes.find(definition);
        if (found.has_density && shape != shapes.end()) out[shape->second.TShape().get()] = {found.name, found.density};
    }
    return out;
}

}  // namespace velmora::occt
