#pragma once
// A model opened in the OpenCASCADE host as velmora-host serves it (meshed
// when opened), its CAD tree built and every kind of object set to export.
#include <string>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "hosts/occt/occt_host.h"

namespace velmora::bench {

struct ServedModel {
    static cad::ApplicationPtr open(const std::string& model, occt::OcctHostOptions options)
    {
        options.mesh_on_open = true;
        return occt::open_occt_application(model, options);
    }

    cad::ApplicationPtr app;
    cad::CAD_ObjectRegistry registry;
    CAD_RPC::Tree tree;
    CAD_RPC::Settings settings;

    ServedModel(const std::string& model, const std::string& zel_path, occt::OcctHostOptions options = {})
        : app(open(model, options)), registry(app->get_active_document(), app)
    {
        cad::build_cad_tree(registry, tree);
        settings.export_solids = settings.export_curves = settings.export_points = settings.export_MIPs = true;
        settings.save_filepath = zel_path;
    }
};

}  // namespace velmora::bench
