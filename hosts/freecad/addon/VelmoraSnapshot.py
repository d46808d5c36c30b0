# The open FreeCAD document as the add-in is to see it: its model tree
# (App::Part groups, links and link arrays to any depth, shape objects,
# curves and points) with each object's label, visibility, colours and the
# placement FreeCAD draws it with, and each distinct shape once, in its own
# coordinates, as BREP text. Taken on FreeCAD's main thread when the command
# starts; the run works on it alone.
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


def _colour(view, name):
    value = getattr(view, name, None) if view is not None else None
    return tuple(value[:3]) if value else None


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
        self.top = [node for node in (self._walk(obj, "") for obj in top_objects(doc)) if node is not None]

    def as_dict(self):
        return {"label": self.doc.Label, "shapes": self.shapes, "top": self.top}

    def _shape_index(self, key, leaf, shape):
        if key not in self._by_key:
            view = getattr(leaf, "ViewObject", None)
            faces = [tuple(c[:3]) for c in (getattr(view, "DiffuseColor", None) or [])] if view else []
            self.shapes.append({
                "label": leaf.Label, "brep": shape.exportBrepToString(),
                "colour": _colour(view, "ShapeColor"),
                "face_colours": faces if len(faces) == len(shape.Faces) and len(set(faces)) > 1 else [],
                "line_colour": _colour(view, "LineColor"), "point_colour": _colour(view, "PointColor")})
            self._by_key[key] = len(self.shapes) - 1
        return self._by_key[key]

    def _visible(self, root, sub, obj):
        """Whether FreeCAD shows the node itself (what its parents hide, they hide)."""
        if sub:
            # As the parent shows the element: a link array's elements are
            # hidden objects of their own, shown or not by the array.
            elements = sub[:-1].split(".")
            parent = root.getSubObject(".".join(elements[:-1]) + ".", retType=1) if len(elements) > 1 else root
            shown = parent.isElementVisible(elements[-1]) if parent is not None else -1
            if shown >= 0:
                return shown > 0
        return bool(getattr(obj, "Visibility", True))

    def _walk(self, root, sub):
        # The object at this place in the tree, and what it shows once its
        # links are followed, placed as FreeCAD draws it.
        obj = root.getSubObject(sub, retType=1) if sub else root
        if obj is None or _is_reference(obj):
            return None
        found, placed = root.getSubObject(sub, retType=1, matrix=App.Matrix(), transform=True)
        leaf, matrix = found.getLinkedObject(True, placed, False)
        if leaf is None or _is_reference(leaf):
            return None
        visible = self._visible(root, sub, obj)
        path = root.Name + ("." + sub if sub else "")
        node = {"label": obj.Label, "path": path, "visible": visible, "matrix": _rows(matrix), "shape": -1,
                "children": []}
        if _is_link_array(obj) or not leaf.isDerivedFrom("Part::Feature"):
            node["matrix"] = _rows(placed)
            # A group, a link to one or a link array: its children are nodes.
            for element in obj.getSubObjects():
                child = self._walk(root, sub + element)
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
            node["shape"] = self._shape_index(path, leaf, Part.getShape(root, sub, transform=True))
            node["matrix"] = _rows(App.Matrix())
        return node
