#pragma once
// Builds an XDE document (parts, assemblies, placements, names, colours,
// visibility) and writes it as a STEP file in millimetres, the way every
// model generator here writes its files.
#include <string>

#include <TDF_Label.hxx>
#include <TDocStd_Document.hxx>
#include <TopLoc_Location.hxx>
#include <TopoDS_Shape.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

namespace velmora::examples {

class XdeBuilder {
public:
    XdeBuilder();
    ~XdeBuilder();
    XdeBuilder(const XdeBuilder&) = delete;
    XdeBuilder& operator=(const XdeBuilder&) = delete;

    TDF_Label part(const TopoDS_Shape& shape, const std::string& name);
    TDF_Label assembly(const std::string& name);
    // `shape` placed in `assembly`; `instance` names the occurrence.
    TDF_Label place(const TDF_Label& assembly, const TDF_Label& shape, const TopLoc_Location& where = {},
                    const std::string& instance = {});
    // A sub-shape of a part, so that its colour or name reaches the file.
    TDF_Label sub(const TDF_Label& part, const TopoDS_Shape& shape, const std::string& name = {});
    void colour(const TDF_Label& label, double r, double g, double b, XCAFDoc_ColorType type = XCAFDoc_ColorSurf);
    void hide(const TDF_Label& label);
    // A material with its density in g/cm^3, as OpenCASCADE's writer takes it.
    void material(const TDF_Label& part, const std::string& name, double density);

    // Throws when the file cannot be written.
    void write(const std::string& path);

private:
    Handle(TDocStd_Document) doc_;
    Handle(XCAFDoc_ShapeTool) shapes_;
    Handle(XCAFDoc_ColorTool) colours_;
};

// One shape in the format its path's extension names (.step/.stp, .igs/.iges,
// else BREP), in millimetres. Throws when it cannot be written.
void write_shape(const TopoDS_Shape& shape, const std::string& path);

// A translation by (x, y, z) after a turn about the z axis.
TopLoc_Location at(double x, double y, double z, double turn_about_z = 0.0);

}  // namespace velmora::examples
