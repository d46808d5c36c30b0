#pragma once
// The assembly walk: an XDE document (OpenCASCADE's reader of names, colours
// and structure) into the host's parts and occurrences, with their names,
// colours, visibility, materials and reference elements.
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <TCollection_ExtendedString.hxx>
#include <TDocStd_Document.hxx>
#include <TopoDS_Shape.hxx>

#include "occt_materials.h"
#include "occt_names.h"
#include "occt_parts.h"

namespace velmora::occt {

using Materials = std::unordered_map<const TopoDS_TShape*, StepMaterial>;
// The names the file gives its solids' own entities, by solid.
using SolidNames = std::unordered_map<const TopoDS_TShape*, TCollection_ExtendedString>;

// The error of a model that cannot be read: "Unable to read the model
// '<path>': <why>".
[[noreturn]] void fail_to_read(const std::string& path, const std::string& why);

// The document's parts and occurrences; a part when the file holds one
// shape that is no assembly, else an assembly named after the file where
// it has several top-level shapes. `warn` hears of densities in units not
// understood.
OcctModel walk_document(const Handle(TDocStd_Document) & doc, const std::string& path, NameDecoder& names,
                        const Materials& materials, const SolidNames& solid_names,
                        const std::function<void(const std::string&)>& warn);

// A shape's solids, in explorer order.
std::vector<TopoDS_Shape> solids_of(const TopoDS_Shape& shape);

// A shape's reference elements, as the reader makes them of a part that the
// file gives no names or colours: free vertices are points, free wires and
// edges (those whose ends meet joined into one) curves, named after
// `owner_name` when there is one element, else "Point"/"Curve" and a number.
std::vector<OcctFeature> free_features(const TopoDS_Shape& shape, const std::string& owner_name);

}  // namespace velmora::occt
