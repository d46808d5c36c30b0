# The sample assembly as a FreeCAD document, built as a FreeCAD user builds
# it: App::Part groups, a shaft and a bracket placed again by App::Link,
# parts of one to three solids, colours on parts and on one face, a rail with
# two reference points, a reference curve, a hidden construction line and a
# boundary circle of the assembly itself. Millimetres.
#
#   scripts/write-freecad-document.sh examples/freecad/sample_document.py OUT.FCStd
#
# (FreeCAD running this file with VELMORA_OUT set writes the document there
# and quits; colours need FreeCAD's GUI.)
import math
import os
import traceback

import FreeCAD as App
import Part

_Z = App.Vector(0, 0, 1)


def _at(x, y, z, turn_degrees=0.0):
    return App.Placement(App.Vector(x, y, z), App.Rotation(_Z, turn_degrees))


def _feature(doc, name, label, shape, colour=None, placement=None):
    obj = doc.addObject("Part::Feature", name)
    obj.Label = label
    obj.Shape = shape
    if placement:
        obj.Placement = placement
    if colour and App.GuiUp:
        if obj.Shape.Faces:
            obj.ViewObject.ShapeColor = colour
        else:
            obj.ViewObject.LineColor = colour
            obj.ViewObject.PointColor = colour
    return obj


def _housing():
    block = Part.makeBox(120, 80, 60)
    block = block.makeFillet(4, block.Edges)
    bore = Part.makeCylinder(12, 82, App.Vector(60, -1, 30), App.Vector(0, 1, 0))
    return block.cut(bore)


def _link(doc, name, label, target, placement):
    link = doc.addObject("App::Link", name)
    link.Label = label
    link.LinkedObject = target
    link.Placement = placement
    return link


def build(doc):
    gearbox = doc.addObject("App::Part", "Gearbox")
    gearbox.Label = "Gearbox"
    gearbox.addObject(_feature(doc, "Housing", "Housing", _housing(), (0.62, 0.64, 0.68)))
    shaft = _feature(doc, "Shaft", "Shaft", Part.makeCylinder(8, 110, App.Vector(0, 0, 0), App.Vector(0, 1, 0)),
                     (0.27, 0.45, 0.70), _at(30, -15, 30))
    gearbox.addObject(shaft)
    gearbox.addObject(_link(doc, "Shaft2", "Shaft", shaft, _at(90, -15, 30)))

    foot = Part.makeBox(60, 40, 8)
    web = Part.makeBox(8, 40, 50, App.Vector(0, 0, 8))
    bracket = _feature(doc, "Bracket", "Bracket", Part.makeCompound([foot, web]), (0.80, 0.20, 0.15),
                       _at(140, 0, 0))
    _link(doc, "BracketMirrored", "Bracket mirrored", bracket, _at(260, 40, 0, 180))

    clamp = Part.makeCompound([Part.makeBox(30, 20, 10), Part.makeBox(30, 6, 20, App.Vector(0, 0, 10)),
                               Part.makeCylinder(4, 12, App.Vector(15, 20, 5), App.Vector(0, 1, 0))])
    _feature(doc, "Clamp", "Clamp", clamp, (0.20, 0.65, 0.30), _at(0, 100, 0))

    guide = doc.addObject("App::Part", "Guide")
    guide.Label = "Guide"
    guide.Placement = _at(0, 140, 0)
    rail = Part.makeCompound([Part.makeBox(150, 12, 12), Part.Vertex(0, 6, 12), Part.Vertex(150, 6, 12)])
    guide.addObject(_feature(doc, "Rail", "Rail", rail, (0.55, 0.35, 0.60)))
    p0, p1, p2 = App.Vector(0, 6, 20), App.Vector(100, 6, 20), App.Vector(150, 6, 45)
    # The arc leaves the line going on along x: its centre is above p1, 62.5 mm away.
    centre_x, centre_z, radius = 100.0, 82.5, 62.5
    middle = math.radians(-63.43)
    arc = Part.Arc(p1, App.Vector(centre_x + radius * math.cos(middle), 6, centre_z + radius * math.sin(middle)), p2)
    path = Part.Wire([Part.LineSegment(p0, p1).toShape(), arc.toShape()])
    guide.addObject(_feature(doc, "SliderPath", "Slider path", path, (0.10, 0.10, 0.90)))
    centre = _feature(doc, "CentreLine", "Centre line", Part.LineSegment(App.Vector(0, 6, 6),
                                                                           App.Vector(150, 6, 6)).toShape(),
                      (0.5, 0.5, 0.5))
    guide.addObject(centre)

    _feature(doc, "Boundary", "Boundary", Part.Wire(Part.makeCircle(220, App.Vector(100, 60, 0))),
             (0.90, 0.45, 0.10))
    doc.recompute()
    centre.Visibility = False
    if App.GuiUp:
        # The top face of the foot (the first solid's last face) has its own colour.
        colours = [(0.80, 0.20, 0.15)] * len(bracket.Shape.Faces)
        colours[5] = (0.95, 0.80, 0.10)
        bracket.ViewObject.DiffuseColor = colours
    doc.recompute()
    return doc


if os.environ.get("VELMORA_OUT"):
    try:
        document = build(App.newDocument("Sample_assembly"))
        document.Label = "Sample assembly"
        document.saveAs(os.environ["VELMORA_OUT"])
    except Exception:
        traceback.print_exc()
        os._exit(1)
    os._exit(0)
