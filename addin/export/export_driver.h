#pragma once
#include "addin/cad/cad_object_registry.h"
#include "cad_rpc_types.h"
#include "geometry.h"
#include "zel_document.h"

namespace velmora::exporter {

// The document for `tree` as the settings select it, with geometry,
// colours, placements and MIPs from the host. Throws on a tree it cannot
// export (unknown ids, a root that is no structure, structures that contain
// themselves, objects of the wrong kind) before anything is written.
// Solids point into `cache` for their triangulations: keep it alive for as
// long as the document is used.
zel::ZelDocument build_zel_document(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings,
                                  const cad::CAD_ObjectRegistry& registry, BodyGeometryCache& cache,
                                  const cad::DocumentPtr& document);

// build_zel_document, then the file at settings.save_filepath.
void export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings, const cad::CAD_ObjectRegistry& registry,
                BodyGeometryCache& cache);

}  // namespace velmora::exporter
