# The benchmarks' large machine as FreeCAD documents, from the parts and
# layout that `make-large-model --layout DIR` writes: the 150 parts in a
# document of their own (OUT_parts.FCStd) and the machine in OUT.FCStd as a
# FreeCAD user assembles one from a parts file: 10 App::Part lines of 10
# App::Part stations, each station 20 App::Links to the parts (2,000 links),
# with the parts' colours. Millimetres, as the layout.
#
#   VELMORA_LAYOUT=DIR scripts/write-freecad-document.sh examples/freecad/large_document.py OUT.FCStd
import os
import traceback

import FreeCAD as App
import Part


def _placement(numbers):
    m = App.Matrix(*(list(numbers) + [0, 0, 0, 1]))
    return App.Placement(m)


def _read_layout(folder):
    parts, stations, lines, roots = [], [], [], []
    with open(os.path.join(folder, "layout.txt"), encoding="utf-8") as layout:
        for line in layout:
            words = line.rstrip("\n").split(" ")
            if words[0] == "part":
                parts.append((words[1], tuple(float(w) for w in words[2:5]), " ".join(words[5:])))
            elif words[0] in ("station", "line"):
                (stations if words[0] == "station" else lines).append((" ".join(words[1:]), []))
            elif words[0] in ("use", "place"):
                (stations if words[0] == "use" else lines)[-1][1].append(
                    (int(words[1]), [float(w) for w in words[2:14]], " ".join(words[14:])))
            elif words[0] == "root":
                roots.append([float(w) for w in words[1:13]])
    return parts, stations, lines, roots


def build(folder, out):
    parts, stations, lines, roots = _read_layout(folder)
    # The machine is saved twice; no "*.FCStd1" backup beside it.
    App.ParamGet("User parameter:BaseApp/Preferences/Document").SetBool("CreateBackupFiles", False)
    stem = os.path.splitext(out)[0]
    library = App.newDocument("Large_parts")
    sources = []
    for file, rgb, name in parts:
        obj = library.addObject("Part::Feature", "Part{}".format(len(sources)))
        obj.Label = name
        obj.Shape = Part.read(os.path.join(folder, file))
        if App.GuiUp:
            obj.ViewObject.ShapeColor = rgb
        sources.append(obj)
    library.recompute()
    # Saved first: the machine's links record where the parts are.
    library.saveAs(stem + "_parts.FCStd")

    machine = App.newDocument("Large_machine")
    # Links into another document need their own document saved first.
    machine.saveAs(out)
    machine.Label = "Large machine"
    for (line_name, places), root in zip(lines, roots):
        line = machine.addObject("App::Part", "Line")
        line.Label = line_name
        line.Placement = _placement(root)
        for station_index, placement, _ in places:
            station_name, uses = stations[station_index]
            station = machine.addObject("App::Part", "Station")
            station.Label = station_name
            station.Placement = _placement(placement)
            for part_index, at, name in uses:
                link = machine.addObject("App::Link", "Link")
                link.Label = name or sources[part_index].Label
                link.LinkedObject = sources[part_index]
                link.Placement = _placement(at)
                station.addObject(link)
            line.addObject(station)
    machine.recompute()
    machine.save()


if os.environ.get("VELMORA_OUT"):
    try:
        build(os.environ["VELMORA_LAYOUT"], os.environ["VELMORA_OUT"])
    except Exception:
        traceback.print_exc()
        os._exit(1)
    os._exit(0)
