# The open FreeCAD document as the add-in is to see it: its model tree
# (App::Part groups, links and link arrays to any depth, shape objects,
# curves and points) with each object's label, visibility, colours and the
# placement FreeCAD draws it with, and each distinct shape once, in its own
# coordinates, as BREP text. Taken on FreeCAD's main thread when the command
# starts, or with no GUI at all (VelmoraHeadless); the run works on it alone.
import os
import struct
import xml.etree.ElementTree as ElementTree
import zipfile

import FreeCAD as App
import Part

# Reference geometry that FreeCAD hides by default.
_REFERENCE_TYPES = (
    "App::Origin", "App::Line", "App::Plane", "App::Point",
    "PartDesign::Plane", "PartDesign::Line", "PartDesign::Point", "PartDesign::CoordinateSystem",
    "Part::DatumPlane", "Part::DatumLine", "Part::DatumPoint",
)


def _is_reference(obj):
    return obj.TypeId in _REFERENCE_TYPES


def _is_link_array(obj):
    return getattr(obj, "ElementCount", 0) > 0


def _rows(matrix):
    return [matrix.A11, matrix.A12, matrix.A13, matrix.A14,
            matrix.A21, matrix.A22, matrix.A23, matrix.A24,
            matrix.A31, matrix.A32, matrix.A33, matrix.A34]


def _rigid(matrix):
    """A rotation, possibly mirrored, and a translation: what an occurrence
    of a shared shape may carry. Anything else (a scale) is baked into the
    shape."""
    m = [[matrix.A11, matrix.A12, matrix.A13], [matrix.A21, matrix.A22, matrix.A23],
         [matrix.A31, matrix.A32, matrix.A33]]
    for i in range(3):
        for j in range(3):
            dot = sum(m[k][i] * m[k][j] for k in range(3))
            if abs(dot - (1.0 if i == j else 0.0)) > 1e-9:
                return False
    return True


_COLOURS = ("ShapeColor", "DiffuseColor", "LineColor", "PointColor")


def _colour(value):
    return tuple(value[:3]) if value else None


def _unpacked(packed):
    """A colour as FreeCAD keeps it in memory once read from its file: each
    channel a single-precision fraction of 255."""
    return tuple(struct.unpack("f", struct.pack("f", ((packed >> shift) & 0xFF) / 255.0))[0]
                 for shift in (24, 16, 8, 0))


def _stored_views(filename):
    """The colours FreeCAD's GUI stored with a document (its GuiDocument.xml
    and the colour lists beside it), by object name: what the objects' view
    objects hold once FreeCAD's GUI opens the document."""
    views = {}
    with zipfile.ZipFile(filename) as archive:
        names = set(archive.namelist())
        if "GuiDocument.xml" not in names:
            return views
        for provider in ElementTree.fromstring(archive.read("GuiDocument.xml")).iter("ViewProvider"):
            colours = views.setdefault(provider.get("name"), {})
            for prop in provider.iter("Property"):
                if prop.get("name") not in _COLOURS:
                    continue
                one, many = prop.find("PropertyColor"), prop.find("ColorList")
                if one is not None:
                    colours[prop.get("name")] = _unpacked(int(one.get("value")))
                elif many is not None and many.get("file") in names:
                    data = archive.read(many.get("file"))
                    count = struct.unpack_from("<I", data)[0]
                    colours[prop.get("name")] = [_unpacked(v) for v in struct.unpack_from("<%dI" % count, data, 4)]
    return views


def _claimed(doc):
    """What the model tree shows below another object: not at its top."""
    claimed = set()
    for obj in doc.Objects:
        view = getattr(obj, "ViewObject", None)
        if view is not None:
            try:
                claimed.update(child.Name for child in view.claimChildren() if child is not None)
                continue
            except Exception:
                pass
        # Without the GUI: members of groups and bodies, array elements, the
        # inputs of shape features.
        for child in getattr(obj, "Group", []) or []:
            claimed.add(child.Name)
        if obj.isDerivedFrom("Part::Feature") and not obj.isDerivedFrom("PartDesign::Body"):
            claimed.update(child.Name for child in obj.OutList)
        for element in getattr(obj, "ElementList", []) or []:
            claimed.add(element.Name)
    return claimed


def top_objects(doc):
    """The document's top level as FreeCAD's model tree shows it: an object
    that only a link refers to is there too, unlike in doc.RootObjects."""
    claimed = _claimed(doc)
    return [obj for obj in doc.Objects
            if obj.Name not in claimed and not _is_reference(obj) and obj.TypeId != "App::LinkElement"]


class Snapshot:
    def __init__(self, doc):
        self.doc = doc
        self.shapes = []
        self._by_key = {}
        self._stored = {}  # file name: its stored colours, without a GUI
        self.top = []
        for obj in top_objects(doc):
            _, placed = obj.getSubObject("", retType=1, matrix=App.Matrix(), transform=True)
            node = self._walk(obj, obj.Name, "", placed)
            if node is not None:
                self.top.append(node)

    def as_dict(self):
        return {"label": self.doc.Label, "shapes": self.shapes, "top": self.top}

    def _colours(self, leaf):
        view = getattr(leaf, "ViewObject", None)
        if view is not None:
            return {name: getattr(view, name, None) for name in _COLOURS}
        filename = leaf.Document.FileName
        if filename not in self._stored:
            self._stored[filename] = _stored_views(filename) if filename else {}
        return self._stored[filename].get(leaf.Name, {})

    def _shape_index(self, key, leaf, shape):
        if key not in self._by_key:
            colours = self._colours(leaf)
            faces = [tuple(c[:3]) for c in (colours.get("DiffuseColor") or [])]
            self.shapes.append({
                "label": leaf.Label, "brep": shape.exportBrepToString(),
                "colour": _colour(colours.get("ShapeColor")),
                "face_colours": faces if len(faces) == len(shape.Faces) and len(set(faces)) > 1 else [],
                "line_colour": _colour(colours.get("LineColor")), "point_colour": _colour(colours.get("PointColor"))})
            self._by_key[key] = len(self.shapes) - 1
        return self._by_key[key]

    def _walk(self, obj, root, sub, placed, parent=None, element="", above=()):
        """The node of `obj`, at `sub` ("Name.Name.") below the top-level
        object `root`, reached from `parent` through its sub-object `element`
        ("Name.") and placed by `placed` as FreeCAD draws it, with
        what it shows once its links are followed. Each child is resolved
        from its own parent: in FreeCAD 0.20 a path of two or more levels
        through a group resolves to the group's first-level object."""
        if obj is None or _is_reference(obj):
            return None
        path = root + ("." + sub if sub else "")
        key = (obj.Document.Name, obj.Name)
        if key in above:
            raise ValueError("the model tree loops: {} is inside itself ({})".format(obj.Label, path))
        _check_link(obj)
        leaf, matrix = obj.getLinkedObject(True, placed, False)
        if leaf is None or _is_reference(leaf):
            return None
        node = {"label": obj.Label, "path": path, "visible": _visible(parent, element, obj), "matrix": _rows(matrix),
                "shape": -1, "children": []}
        if _is_link_array(obj) or not leaf.isDerivedFrom("Part::Feature"):
            node["matrix"] = _rows(placed)
            # A group, a link to one or a link array: its children are nodes.
            for element_sub in _children(obj):
                child, child_placed = obj.getSubObject(element_sub, retType=1, matrix=App.Matrix(placed),
                                                       transform=False)
                child = self._walk(child, root, sub + element_sub, child_placed, obj, element_sub, above + (key,))
                if child is not None:
                    node["children"].append(child)
            return node
        own = Part.getShape(leaf, "", transform=False)
        if own.isNull() or not (own.Faces or own.Edges or own.Vertexes):
            return None
        if _rigid(matrix):
            # Links may reach into other documents, whose names may repeat ours.
            node["shape"] = self._shape_index((leaf.Document.Name, leaf.Name), leaf, own)
        else:
            # A scaled link: its shape as FreeCAD draws it, placed already.
            node["shape"] = self._shape_index(path, leaf, own.transformGeometry(matrix))
            node["matrix"] = _rows(App.Matrix())
        return node


def _members(group):
    """What a plain group holds, through the plain groups inside it."""
    for member in group.Group:
        yield member
        if member.isDerivedFrom("App::DocumentObjectGroup"):
            yield from _members(member)


def _children(obj):
    """The sub-objects FreeCAD's model tree shows below `obj`. An App::Part
    lists the members of its plain groups as its own too, but shows them in
    their group only: taken twice, their solids would be exported twice."""
    subs = obj.getSubObjects()
    inner = set()
    for sub in subs:
        child = obj.getSubObject(sub, retType=1)
        if child is not None and child.isDerivedFrom("App::DocumentObjectGroup"):
            inner.update(member.Name for member in _members(child))
    return [sub for sub in subs if sub[:-1] not in inner]


def _visible(parent, element, obj):
    """Whether FreeCAD shows the node itself (what its parents hide, they hide)."""
    if parent is not None:
        # As the parent shows the element: a link array's elements are
        # hidden objects of their own, shown or not by the array.
        shown = parent.isElementVisible(element[:-1])
        if shown >= 0:
            return shown > 0
    return bool(getattr(obj, "Visibility", True))


def _check_link(obj):
    """A link whose target could not be restored (its file missing) is an
    error that names the file, not an empty group."""
    if not obj.isDerivedFrom("App::Link") or obj.LinkedObject is not None or not obj.Document.FileName:
        return
    with zipfile.ZipFile(obj.Document.FileName) as archive:
        stored = ElementTree.fromstring(archive.read("Document.xml"))
    for found in stored.iterfind("ObjectData/Object[@name='{}']/Properties/Property[@name='LinkedObject']/XLink"
                                 .format(obj.Name)):
        if found.get("name"):
            target = os.path.join(os.path.dirname(obj.Document.FileName), found.get("file"))
            raise ValueError("'{}' links to '{}' in {}, which could not be opened".format(
                obj.Label, found.get("name"), os.path.normpath(target) if found.get("file") else "its own document"))
