// What each mesh quality gives: triangles exported, ZEL size and the worst
// mesh volume error of any solid; and the time to open a model (read and
// mesh every part) at "standard" against the host's one fixed quality before
// qualities could be chosen (chord 0.1 % of the diagonal, 0.5 rad).
// Interleaved repetitions, medians, one run: compare the ratios.
//   quality_bench MODEL... [--reps N]
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <Bnd_Box.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <Message.hxx>
#include <Message_PrinterOStream.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "addin/export/export_driver.h"
#include "hosts/occt/occt_host.h"
#include "hosts/occt/occt_model.h"
#include "served_model.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

double mesh_volume(const TopoDS_Shape& solid)
{
    double six_v = 0;
    for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next()) {
        const TopoDS_Face& face = TopoDS::Face(e.Current());
        TopLoc_Location loc;
        const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
        if (tri.IsNull()) continue;
        const bool reversed = face.Orientation() == TopAbs_REVERSED;
        for (int t = 1; t <= tri->NbTriangles(); ++t) {
            int a, b, c;
            tri->Triangle(t).Get(a, b, c);
            if (reversed) std::swap(b, c);
            const gp_XYZ p = tri->Node(a).Transformed(loc).XYZ(), q = tri->Node(b).Transformed(loc).XYZ(),
                         r = tri->Node(c).Transformed(loc).XYZ();
            six_v += p.Dot(q.Crossed(r));
        }
    }
    return six_v / 6.0;
}

struct Figures {
    std::size_t triangles = 0;
    double zel_mb = 0, worst_error = 0;
};

Figures measure(const std::string& model, occt::MeshQuality quality, const std::string& zel_path)
{
    occt::OcctHostOptions options;
    options.quality = quality;
    bench::ServedModel served(model, zel_path, options);
    const auto& [app, registry, tree, settings] = served;
    Figures f;
    for (const auto& part : occt::occt_model(app)->parts)
        for (const auto& solid : part.solids) {
            GProp_GProps props;
            BRepGProp::VolumeProperties(solid, props);
            f.worst_error = std::max(f.worst_error, std::abs(mesh_volume(solid) / props.Mass() - 1.0));
        }
    exporter::BodyGeometryCache cache;
    exporter::export_zel(tree, settings, registry, cache);
    const zel::ZelDocument doc = exporter::build_zel_document(tree, settings, registry, cache, registry.document());
    for (const auto& [id, e] : doc.solid_map) f.triangles += e.mesh->faces->size();
    struct stat st {};
    if (::stat(zel_path.c_str(), &st) == 0) f.zel_mb = static_cast<double>(st.st_size) / 1e6;
    std::remove(zel_path.c_str());
    return f;
}

// The host's meshing before qualities: BRepMesh's default algorithm, chord
// 0.1 % of the part's diagonal, 0.5 rad, the parts shared out to one thread
// per core as mesh_parts does.
void mesh_as_before(const std::vector<TopoDS_Shape>& parts)
{
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < parts.size();) {
            Bnd_Box box;
            BRepBndLib::Add(parts[i], box);
            BRepMesh_IncrementalMesh(parts[i], 0.001 * std::sqrt(box.SquareExtent()), false, 0.5, false);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t) pool.emplace_back(worker);
    for (auto& t : pool) t.join();
}

// Reading and meshing the model, as velmora-host opens it.
double open_seconds(const std::string& model, bool before)
{
    const auto t0 = Clock::now();
    const occt::OcctModel read = occt::read_model(model);
    std::vector<TopoDS_Shape> parts;
    for (const auto& p : read.parts) parts.push_back(p.shape);
    if (before)
        mesh_as_before(parts);
    else
        occt::mesh_parts(parts, 0, occt::deflection_of(occt::MeshQuality::Standard));
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> models;
    int reps = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reps" && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else
            models.push_back(arg);
    }
    if (models.empty()) {
        std::fprintf(stderr, "usage: quality_bench MODEL... [--reps N]\n");
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    const char* names[] = {"coarse", "standard", "fine", "extrafine"};
    const std::string zel_path = "/tmp/quality-bench-" + std::to_string(::getpid()) + ".zel";
    for (const auto& model : models) {
        std::printf("%s\n%-10s %8s %8s %12s %10s %12s\n", model.c_str(), "quality", "chord", "angle", "triangles",
                    "ZEL MB", "worst error");
        for (int q = 0; q < 4; ++q) {
            const auto quality = static_cast<occt::MeshQuality>(q);
            const occt::Deflection d = occt::deflection_of(quality);
            const Figures f = measure(model, quality, zel_path);
            std::printf("%-10s %7.3f%% %6.2f rad %12zu %10.1f %11.3f%%\n", names[q], d.chord * 100, d.angle, f.triangles,
                        f.zel_mb, f.worst_error * 100);
        }
        std::vector<double> before, standard;
        for (int r = 0; r < reps; ++r) {
            before.push_back(open_seconds(model, true));
            standard.push_back(open_seconds(model, false));
        }
        std::printf("open (read + mesh): %.3f s standard, %.3f s before qualities: %.2fx (target <= 1.10x)\n\n",
                    median(standard), median(before), median(standard) / median(before));
    }
    return 0;
}
