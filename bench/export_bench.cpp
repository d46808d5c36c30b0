// The export of a whole machine against OpenCASCADE's own OBJ writer and
// against the limit of formatting its numbers; the share of vertex merging;
// the export's extra peak memory; meshing in parallel against serially;
// the templated export (each repeated solid once) against the plain one.
// Interleaved repetitions, medians, one run: compare the ratios.
//   export_bench MODEL.step [REPS] [DIR]
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Message.hxx>
#include <Message_PrinterOStream.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <fmt/format.h>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "addin/export/export_driver.h"
#include "addin/export/zel_writer.h"
#include "hosts/occt/occt_host.h"
#include "hosts/occt/occt_model.h"
#include "occt_obj.h"
#include "served_model.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(const std::function<void()>& f)
{
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::size_t file_size(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

// kB figure of a /proc/self/status line ("VmRSS", "VmHWM").
long status_kb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
    return -1;
}

// Every face's nodes and triangles, folded into one number (FNV-1a).
std::uint64_t mesh_signature(const std::vector<TopoDS_Shape>& parts, std::size_t& triangles)
{
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    };
    triangles = 0;
    for (const auto& part : parts)
        for (TopExp_Explorer e(part, TopAbs_FACE); e.More(); e.Next()) {
            TopLoc_Location loc;
            const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(TopoDS::Face(e.Current()), loc);
            if (tri.IsNull()) continue;
            for (int n = 1; n <= tri->NbNodes(); ++n) {
                const gp_Pnt p = tri->Node(n);
                const double xyz[3] = {p.X(), p.Y(), p.Z()};
                mix(xyz, sizeof xyz);
            }
            for (int t = 1; t <= tri->NbTriangles(); ++t) {
                int abc[3];
                tri->Triangle(t).Get(abc[0], abc[1], abc[2]);
                mix(abc, sizeof abc);
            }
            triangles += static_cast<std::size_t>(tri->NbTriangles());
        }
    return h;
}

// The limit: only the numbers of the file, formatted as the file has them
// into memory, then one write (and fsync, as the writer syncs too).
struct Numbers {
    std::vector<std::vector<zel::Point3>> point_lists;
    std::vector<const std::vector<zel::Triangle>*> face_lists;
};

const zel::PlacedMesh& mesh_of(const zel::SolidElem& e) { return *e.mesh; }

Numbers numbers_of(const zel::ZelDocument& doc)
{
    Numbers n;
    for (const auto& [id, e] : doc.solid_map) {
        const zel::PlacedMesh mesh = mesh_of(e);
        auto& points = n.point_lists.emplace_back();
        for (const auto& v : *mesh.vertices) points.push_back(zel::place(mesh.placement, v));
        n.face_lists.push_back(mesh.faces);
    }
    for (const auto& [id, e] : doc.line_map) n.point_lists.push_back(e.vertices);
    return n;
}

std::size_t format_and_write(const Numbers& n, const std::string& path)
{
    fmt::memory_buffer out;  // {fmt}'s own fastest way into memory
    for (const auto& points : n.point_lists)
        for (const auto& p : points) fmt::format_to(std::back_inserter(out), "{:.8}, {:.8}, {:.8};\n", p[0], p[1], p[2]);
    for (const auto* faces : n.face_lists)
        for (const auto& f : *faces) fmt::format_to(std::back_inserter(out), "{}, {}, {};\n", f[0], f[1], f[2]);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) std::abort();
    ::fsync(fd);
    ::close(fd);
    return out.size();
}

// What the export numbers for each distinct mesh (the occurrences of a part
// share their host's tessellation, numbered once): the host's vertex id of
// every triangle corner, in the order the export meets them, and each
// vertex's position. Recorded through the host interface once, so that the
// timing below is the numbering alone.
struct Corners {
    std::vector<int> vertices;           // host vertex id per corner
    std::vector<zel::Point3> positions;  // by host vertex id
};

std::vector<Corners> corners_of(const CAD_RPC::Tree& tree, const cad::CAD_ObjectRegistry& registry)
{
    std::vector<Corners> all;
    std::vector<cad::TessellationPtr> seen;  // held, so no address comes back
    for (const auto& [id, node] : tree.nodes) {
        if (node.type != CAD_RPC::NodeType::Solid) continue;
        const cad::BodyPtr body = registry.object_at(id)->as_body();
        const cad::TessellationPtr t = body->get_tessellation(0);
        if (std::find(seen.begin(), seen.end(), t) != seen.end()) continue;
        seen.push_back(t);
        t->tessellate();
        Corners& c = all.emplace_back();
        for (cad::FacePtr face = body->get_first_face(); face; face = face->get_next_face())
            for (const int facet : t->get_facets(face))
                for (const int fin : t->get_fins(facet)) {
                    const int v = t->get_fin_vertices(fin)[1];
                    if (static_cast<std::size_t>(v) >= c.positions.size()) c.positions.resize(v + 1);
                    const std::vector<double> xyz = t->get_vertex_point(v);
                    c.positions[static_cast<std::size_t>(v)] = {xyz[0], xyz[1], xyz[2]};
                    c.vertices.push_back(v);
                }
    }
    return all;
}

// The export's numbering: each host vertex looked up per corner, numbered
// by position (VertexIndex) at its first use.
std::size_t number_all(const std::vector<Corners>& all)
{
    std::size_t vertices = 0;
    for (const Corners& c : all) {
        std::vector<zel::Point3> out;
        exporter::VertexIndex index(out);
        std::vector<std::uint64_t> by_vertex(c.positions.size(), 0);
        for (const int v : c.vertices) {
            std::uint64_t& n = by_vertex[static_cast<std::size_t>(v)];
            if (n == 0) n = index.number(c.positions[static_cast<std::size_t>(v)]);
        }
        vertices += out.size();
    }
    return vertices;
}

void line(const char* what, double a, const char* a_name, double b, const char* b_name, const char* target)
{
    std::printf("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target %s)\n", what, a, a_name, b, b_name, a / b, target);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: export_bench MODEL.step [REPS] [DIR]\n");
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    const std::string model = argv[1];
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string dir = argc > 3 ? argv[3] : "/tmp";
    const std::string zel_path = dir + "/bench-export.zel", write_path = dir + "/bench-write.zel",
                      raw_path = dir + "/bench-raw.txt", obj_path = dir + "/bench.obj",
                      templated_path = dir + "/bench-templated.zel";

    // Meshing, serial and parallel, on the host's own reading of the model.
    const occt::OcctModel read = occt::read_model(model);
    std::vector<TopoDS_Shape> parts;
    for (const auto& p : read.parts) parts.push_back(p.shape);
    std::vector<double> serial_s, parallel_s;
    std::size_t triangles = 0;
    bool identical = true;
    for (int r = 0; r < reps; ++r) {
        for (const auto& p : parts) BRepTools::Clean(p);
        serial_s.push_back(seconds([&] { occt::mesh_parts(parts, 1); }));
        const std::uint64_t serial = mesh_signature(parts, triangles);
        for (const auto& p : parts) BRepTools::Clean(p);
        parallel_s.push_back(seconds([&] { occt::mesh_parts(parts, 0); }));
        std::size_t again = 0;
        identical = identical && mesh_signature(parts, again) == serial && again == triangles;
    }

    // The model as velmora-host serves it, meshed when opened.
    bench::ServedModel served(model, zel_path);
    const auto& [app, registry, tree, settings] = served;
    CAD_RPC::Settings templated = settings;
    templated.templates_settings = CAD_RPC::TemplatesSettings::SearchForTemplates;
    templated.save_filepath = templated_path;
    auto export_with = [&](const CAD_RPC::Settings& s) {
        exporter::BodyGeometryCache cache;  // one export run's
        exporter::export_zel(tree, s, registry, cache);
    };
    auto export_once = [&] { export_with(settings); };
    auto export_templated = [&] { export_with(templated); };
    export_once();  // the host's lazily built answers exist from now on, as in a CAD system
    export_templated();
    const std::size_t zel_bytes = file_size(zel_path), templated_bytes = file_size(templated_path);

    // Extra peak memory of one export, in a child so nothing freed earlier hides it.
    auto extra_peak_kb = [](const std::function<void()>& run) {
        long extra_kb = -1;
        int fds[2];
        if (::pipe(fds) != 0) return extra_kb;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::malloc_trim(0);  // free heap pages go back, so the export's own needs show
            std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
            const long before = status_kb("VmRSS");
            run();
            const long extra = status_kb("VmHWM") - before;
            (void)!::write(fds[1], &extra, sizeof extra);
            ::_exit(0);
        }
        ::close(fds[1]);
        if (::read(fds[0], &extra_kb, sizeof extra_kb) != sizeof extra_kb) extra_kb = -1;
        ::close(fds[0]);
        ::waitpid(pid, nullptr, 0);
        return extra_kb;
    };
    // Medians: a single child's figure moves by a few pages.
    std::vector<double> extra_runs, templated_extra_runs;
    for (int r = 0; r < reps; ++r) {
        extra_runs.push_back(static_cast<double>(extra_peak_kb(export_once)));
        templated_extra_runs.push_back(static_cast<double>(extra_peak_kb(export_templated)));
    }
    const double extra_kb = median(extra_runs), templated_extra_kb = median(templated_extra_runs);

    // The same meshed model for OpenCASCADE's OBJ writer.
    const auto xde = bench::read_xde(model);
    bench::mesh_xde(xde);
    // The same numbers for the limit, and the corners for merging.
    exporter::BodyGeometryCache doc_cache;
    const zel::ZelDocument doc = exporter::build_zel_document(tree, settings, registry, doc_cache, registry.document());
    const Numbers numbers = numbers_of(doc);
    const std::vector<Corners> corners = corners_of(tree, registry);

    std::vector<double> export_s, obj_s, write_s, limit_s, merge_s, templated_s;
    std::size_t raw_bytes = 0, merged_vertices = 0;
    for (int r = 0; r < reps; ++r) {
        export_s.push_back(seconds(export_once));
        obj_s.push_back(seconds([&] { bench::write_obj(xde, obj_path); }));
        write_s.push_back(seconds([&] { zel::write_zel_document(doc, write_path); }));
        limit_s.push_back(seconds([&] { raw_bytes = format_and_write(numbers, raw_path); }));
        merge_s.push_back(seconds([&] { merged_vertices = number_all(corners); }));
        templated_s.push_back(seconds(export_templated));
    }

    std::size_t solids = doc.solid_map.size(), exported_triangles = 0;
    for (const auto& [id, e] : doc.solid_map) exported_triangles += mesh_of(e).faces->size();
    std::printf("model %s: %zu parts, %zu solid occurrences, %zu triangles exported, %zu vertices in %zu meshes\n",
                model.c_str(), parts.size(), solids, exported_triangles, merged_vertices, corners.size());
    std::printf("ZEL %.1f MB, OBJ %.1f MB, numbers only %.1f MB; %d repetitions, interleaved, medians\n",
                zel_bytes / 1e6, file_size(obj_path) / 1e6, raw_bytes / 1e6, reps);
    const double exp = median(export_s);
    line("1. ZEL export vs OBJ writer", exp, "export_zel", median(obj_s), "RWObj_CafWriter", "<= 0.3x");
    line("2. ZEL write vs fmt + one write", median(write_s), "write_zel_document", median(limit_s), "fmt + write",
         "<= 2x");
    line("3. vertex merging in the export", median(merge_s), "merging", exp, "export_zel", "<= 0.2x");
    std::printf("%-34s %8.1f MB extra peak     %8.1f MB file %16s %6.2fx  (target <= 1.0x)\n",
                "4. export memory vs file size", extra_kb / 1e3, zel_bytes / 1e6, "",
                extra_kb * 1e3 / static_cast<double>(zel_bytes));
    std::printf("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target >= 1.5x; triangles %s, %zu)\n",
                "5. meshing, parallel vs serial", median(serial_s), "serial", median(parallel_s), "parallel",
                median(serial_s) / median(parallel_s), identical ? "identical" : "DIFFER", triangles);
    line("13. templated export vs plain", median(templated_s), "templates", exp, "export_zel", "<= 0.25x");
    std::printf("%-34s %8.1f MB file %-17s %8.1f MB file %-17s %6.3fx  (target <= 0.125x)\n",
                "14. templated file vs plain", templated_bytes / 1e6, "templates", zel_bytes / 1e6, "export_zel",
                templated_bytes / static_cast<double>(zel_bytes));
    std::printf("%-34s %8.1f MB extra peak %-11s %8.1f MB extra peak %-11s %6.2fx  (target <= 1.0x)\n",
                "15. templated export memory", templated_extra_kb / 1e3, "templates", extra_kb / 1e3, "export_zel",
                templated_extra_kb / extra_kb);
    for (const auto& p : {zel_path, write_path, raw_path, obj_path, dir + "/bench.mtl", templated_path})
        std::remove(p.c_str());
    return identical ? 0 : 1;
}
