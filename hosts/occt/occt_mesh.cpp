#include "occt_mesh.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include "surface_repair.h"
#include "common/cores.h"
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <Bnd_Box.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_TShape.hxx>

namespace velmora::occt {

Deflection deflection_of(MeshQuality quality)
{
    switch (quality) {
    // Coarse is for a light file: its volumes are what its chords leave.
    case MeshQuality::Coarse: return {0.004, 0.6};
    case MeshQuality::Standard: return {0.001, 0.25, 0.005};
    case MeshQuality::Fine: return {0.0004, 0.12, 0.005};
    case MeshQuality::ExtraFine: return {0.0002, 0.07, 0.005};
    }
    return {0.001, 0.25, 0.005};
}

std::optional<MeshQuality> quality_named(const std::string& name)
{
    if (name == "coarse") return MeshQuality::Coarse;
    if (name == "standard") return MeshQuality::Standard;
    if (name == "fine") return MeshQuality::Fine;
    if (name == "extrafine") return MeshQuality::ExtraFine;
    return std::nullopt;
}

namespace {

IMeshTools_Parameters parameters_of(const TopoDS_Shape& shape, Deflection deflection, bool in_parallel)
{
    Bnd_Box box;
    BRepBndLib::Add(shape, box);
    const double diagonal = box.IsVoid() ? 1.0 : std::sqrt(box.SquareExtent());
    IMeshTools_Parameters parameters;
    // BRepMesh refuses a deflection below its confusion distance (a part of
    // a few hundredths of a millimetre, say).
    parameters.Deflection = std::max(deflection.chord * diagonal, 2 * Precision::Confusion());
    parameters.Angle = deflection.angle;
    // The same nodes as the default algorithm, triangulated in about half
    // the time: what lets the finer angle cost no more than before.
    parameters.MeshAlgo = IMeshTools_MeshAlgoType_Delabella;
    parameters.InParallel = in_parallel;
    return parameters;
}

}  // namespace

void brep_mesh(const TopoDS_Shape& shape, Deflection deflection, bool in_parallel)
{
    const IMeshTools_Parameters parameters = parameters_of(shape, deflection, in_parallel);
    BRepMesh_IncrementalMesh(shape, parameters);
}

namespace {

// The solid's faces joined, checked and, where its B-rep is closed and the
// mesh is not, repaired if that leaves fewer faults.
MeshedSolid joined_solid(const TopoDS_Shape& solid, const IMeshTools_Parameters& parameters)
{
    MeshedSolid out;
    out.brep_closed = brep_closed(solid);
    auto mesh = std::make_shared<SolidMesh>(joined_mesh(solid, parameters.Deflection, parameters.Angle));
    out.faults = out.joined = check_surface(*mesh);
    // A repair's filling may itself meet a fault (a triangle it repeats):
    // another repair takes that out, while each leaves fewer.
    RepairedSurface done;
    for (int round = 0; round < 3 && out.brep_closed && !out.faults.none(); ++round) {
        auto repaired = repaired_surface(*mesh);
        if (!repaired) break;
        const SurfaceFaults left = check_surface(repaired->mesh);
        if (left.total() >= out.faults.total()) break;
        out.faults = left;
        done.taken_out += repaired->taken_out;
        done.holes += repaired->holes;
        out.repair = describe(done);
        *mesh = std::move(repaired->mesh);
    }
    out.mesh = std::move(mesh);
    return out;
}

// How far the mesh's volume is from the solid's `volume`, as a fraction of it.
double volume_error(const SolidMesh& mesh, double volume)
{
    return volume > 0 ? std::abs(enclosed_volume(mesh) / volume - 1) : 0;
}

}  // namespace

std::shared_ptr<const GProp_GProps> volume_properties(const TopoDS_Shape& solid)
{
    auto props = std::make_shared<GProp_GProps>();
    BRepGProp::VolumeProperties(solid, *props, 1e-3);
    return props;
}

std::vector<MeshedSolid> mesh_part(const TopoDS_Shape& shape, Deflection deflection, bool in_parallel)
{
    std::vector<TopoDS_Shape> solids;
    for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) solids.push_back(e.Current());
    IMeshTools_Parameters parameters = parameters_of(shape, deflection, in_parallel);
    // A thin, curved solid (a plate bent along its length, say) can lose
    // more of its volume between its chords than a simulation allows: the
    // part is meshed again, twice as fine each time, while that helps (a
    // file whose curves stray from their surfaces by its tolerance bounds
    // no volume closer than that, however fine the mesh).
    std::vector<MeshedSolid> best;
    double best_error = HUGE_VAL;
    std::vector<std::shared_ptr<const GProp_GProps>> volumes(solids.size());
    for (int pass = 0; pass < 3; ++pass) {
        if (pass > 0) {
            BRepTools::Clean(shape);
            parameters.Deflection /= 2;
            parameters.Angle /= 2;
        }
        // The whole part at once, so that faces that share an edge share its nodes.
        BRepMesh_IncrementalMesh(shape, parameters);
        std::vector<MeshedSolid> out;
        double error = 0;
        for (std::size_t i = 0; i < solids.size(); ++i) {
            out.push_back(joined_solid(solids[i], parameters));
            if (deflection.volume == 0 || !out.back().brep_closed || !out.back().faults.none()) continue;
            if (!volumes[i]) volumes[i] = volume_properties(solids[i]);
            out.back().volume = volumes[i];
            error = std::max(error, volume_error(*out.back().mesh, volumes[i]->Mass()));
        }
        const bool better = error < 0.75 * best_error;
        if (error < best_error) best = std::move(out), best_error = error;
        if (best_error <= deflection.volume || !better) break;
    }
    return best;
}

std::vector<std::vector<MeshedSolid>> mesh_parts(const std::vector<TopoDS_Shape>& shapes, unsigned threads,
                                                 Deflection deflection, const std::function<void(double fraction)>& progress)
{
    // Two threads must never write the same faces' triangulations.
    std::vector<const TopoDS_Shape*> work;
    std::unordered_map<const TopoDS_TShape*, std::size_t> slot;  // into work
    for (const auto& s : shapes)
        if (!s.IsNull() && slot.try_emplace(s.TShape().get(), work.size()).second) work.push_back(&s);
    std::vector<std::vector<MeshedSolid>> meshed(work.size());

    if (threads == 0) threads = usable_cores();
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, work.size()));
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::mutex mutex;  // guards done, failure and progress
    std::exception_ptr failure;
    auto worker = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= work.size()) return;
            try {
                meshed[i] = mesh_part(*work[i], deflection);
            } catch (...) {
                std::lock_guard lock(mutex);
                if (!failure) failure = std::current_exception();
                next = work.size();  // the others stop after their current part
                return;
            }
            std::lock_guard lock(mutex);
            ++done;
            if (progress && !failure) progress(static_cast<double>(done) / static_cast<double>(work.size()));
        }
    };
    if (threads <= 1) {
        worker();
    } else {
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
        for (auto& t : pool) t.join();
    }
    if (failure) std::rethrow_exception(failure);
    std::vector<std::vector<MeshedSolid>> out;
    for (const auto& s : shapes) out.push_back(s.IsNull() ? std::vector<MeshedSolid>{} : meshed[slot.at(s.TShape().get())]);
    return out;
}

}  // namespace velmora::occt
