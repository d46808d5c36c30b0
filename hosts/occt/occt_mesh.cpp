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
    case MeshQuality::Coarse: return {0.004, 0.6};
    case MeshQuality::Standard: return {0.001, 0.25};
    case MeshQuality::Fine: return {0.0004, 0.12};
    case MeshQuality::ExtraFine: return {0.0002, 0.07};
    }
    return {0.001, 0.25};
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
    BRepMesh_IncrementalMesh(shape, parameters_of(shape, deflection, in_parallel));
}

std::vector<MeshedSolid> mesh_part(const TopoDS_Shape& shape, Deflection deflection, bool in_parallel)
{
    const IMeshTools_Parameters first = parameters_of(shape, deflection, in_parallel);
    std::vector<IMeshTools_Parameters> tries(3, first);
    tries[1].MeshAlgo = tries[2].MeshAlgo = IMeshTools_MeshAlgoType_Watson;
    tries[2].ControlSurfaceDeflection = false;

    std::vector<TopoDS_Shape> solids;
    for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) solids.push_back(e.Current());
    std::vector<MeshedSolid> out(solids.size());
    for (std::size_t i = 0; i < solids.size(); ++i) out[i].brep_closed = brep_closed(solids[i]);

    // Each try meshes the whole part, so that faces that share an edge share
    // its nodes; the triangles of the try before go first.
    auto mesh_with = [&](const IMeshTools_Parameters& parameters, bool clean) {
        if (clean) BRepTools::Clean(shape);
        BRepMesh_IncrementalMesh(shape, parameters);
        std::size_t open = 0;
        for (std::size_t i = 0; i < solids.size(); ++i) {
            out[i].mesh = std::make_shared<const SolidMesh>(joined_mesh(solids[i]));
            out[i].open_edges = occt::open_edges(*out[i].mesh);
            if (out[i].brep_closed) open += out[i].open_edges;
        }
        return open;
    };
    // A try may also fail outright (BRepMesh throws on some such faces);
    // only when every try fails does the part.
    std::size_t best = 0, fewest = SIZE_MAX;
    std::exception_ptr failure;
    for (std::size_t t = 0; t < tries.size(); ++t) {
        try {
            const std::size_t open = mesh_with(tries[t], t > 0);
            if (open == 0) return out;
            if (open < fewest) best = t, fewest = open;
        } catch (const Standard_Failure&) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (fewest == SIZE_MAX) std::rethrow_exception(failure);
    if (best + 1 < tries.size()) mesh_with(tries[best], true);
    return out;
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

    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
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
