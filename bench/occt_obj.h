#pragma once
// OpenCASCADE's own way to a mesh file: read STEP into an XDE document, mesh
// every part as the host does (with BRepMesh's parallel option, as a user of
// OpenCASCADE would), write OBJ with RWObj_CafWriter.
#include <stdexcept>
#include <string>
#include <vector>

#include <IFSelect_ReturnStatus.hxx>
#include <Interface_Static.hxx>
#include <Message_ProgressRange.hxx>
#include <RWObj_CafWriter.hxx>
#include <STEPCAFControl_Controller.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TColStd_IndexedDataMapOfStringString.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDocStd_Document.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

#include "hosts/occt/occt_mesh.h"

namespace velmora::bench {

inline Handle(TDocStd_Document) read_xde(const std::string& path)
{
    STEPCAFControl_Controller::Init();
    Interface_Static::SetCVal("xstep.cascade.unit", "M");  // as the host reads
    Handle(TDocStd_Document) doc;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
    STEPCAFControl_Reader reader;
    reader.SetNameMode(true);
    reader.SetColorMode(true);
    if (reader.ReadFile(path.c_str()) != IFSelect_RetDone || !reader.Transfer(doc))
        throw std::runtime_error("cannot read " + path);
    return doc;
}

// Every part (shape that is no assembly), each meshed as the host meshes it.
inline std::vector<TopoDS_Shape> xde_parts(const Handle(TDocStd_Document)& doc)
{
    const Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
    TDF_LabelSequence labels;
    shapes->GetShapes(labels);
    std::vector<TopoDS_Shape> parts;
    for (const TDF_Label& label : labels)
        if (!XCAFDoc_ShapeTool::IsAssembly(label)) parts.push_back(XCAFDoc_ShapeTool::GetShape(label));
    return parts;
}

inline void mesh_xde(const Handle(TDocStd_Document)& doc)
{
    for (const TopoDS_Shape& part : xde_parts(doc))
        occt::brep_mesh(part, occt::deflection_of(occt::MeshQuality::Standard), true);
}

inline void write_obj(const Handle(TDocStd_Document)& doc, const std::string& path)
{
    RWObj_CafWriter writer(path.c_str());
    TColStd_IndexedDataMapOfStringString info;
    if (!writer.Perform(doc, info, Message_ProgressRange())) throw std::runtime_error("cannot write " + path);
}

}  // namespace velmora::bench
