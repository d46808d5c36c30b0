# Inside FreeCAD (bench/freecad_bench.sh starts it on the large machine):
# REPS times, side by side, (1) velmora-host and velmora-client on the same
# model as STEP, and velmora-host --export on the saved document with no
# display (FreeCAD's freecadcmd takes its snapshot), (2) the add-on's run on the open document with
# velmora-client exporting everything, (3) FreeCAD's own meshing (MeshPart,
# each distinct part once at the add-in's deflection) placed as FreeCAD
# places every occurrence and written as OBJ by the Mesh module. Writes the
# seconds of each as JSON to VELMORA_BENCH_RESULT, then quits.
import json
import os
import subprocess
import time

import FreeCAD as App
import FreeCADGui as Gui
import Mesh
import MeshPart
from PySide import QtCore

env = os.environ
reps = int(env.get("VELMORA_BENCH_REPS", "3"))
bin_dir = env["VELMORA_BENCH_BIN"]
work = env["VELMORA_BENCH_WORK"]
step = env["VELMORA_BENCH_STEP"]
# The add-in's standard quality: chord 0.1 % of a part's diagonal, 0.25 rad.
CHORD, ANGLE = 0.001, 0.25
times = {"velmora-host": [], "freecad": [], "mesh": [], "headless": [], "zel_mb": 0.0, "obj_mb": 0.0,
         "triangles": 0}


def fail_fast(step):
    """A fault in a timer's step ends FreeCAD at once with its trace,
    instead of leaving it waiting for the bench's timeout."""
    def guarded(*args):
        try:
            step(*args)
        except BaseException:
            import traceback
            traceback.print_exc()
            os._exit(1)
    return guarded


def host_run():
    start = time.monotonic()
    host = subprocess.Popen([os.path.join(bin_dir, "velmora-host"), "--no-window", "--no-gui", "--port", "0", step],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    port = None
    for line in host.stdout:
        if "serving on port" in line:
            port = line.split()[-1]
            break
    subprocess.run([os.path.join(bin_dir, "velmora-client"), "--port", port, os.path.join(work, "host.zel")],
                   check=True, stdout=subprocess.DEVNULL)
    host.wait()
    times["velmora-host"].append(time.monotonic() - start)


def headless_run():
    """velmora-host on the saved document, through freecadcmd, no display."""
    start = time.monotonic()
    subprocess.run([os.path.join(bin_dir, "velmora-host"), "--export", os.path.join(work, "headless.zel"),
                    App.ActiveDocument.FileName], check=True, stdout=subprocess.DEVNULL)
    times["headless"].append(time.monotonic() - start)


def leaves(doc):
    """Every placed shape of the document: (linked object, FreeCAD's matrix)."""
    import VelmoraSnapshot
    out = []

    def walk(obj, placed):
        # Each child from its parent, as the add-on walks.
        children = obj.getSubObjects()
        for child in children:
            walk(*obj.getSubObject(child, retType=1, matrix=App.Matrix(placed), transform=False))
        if not children:
            out.append(obj.getLinkedObject(True, placed, False))

    for top in VelmoraSnapshot.top_objects(doc):
        walk(*top.getSubObject("", retType=1, matrix=App.Matrix(), transform=True))
    return out


def mesh_run():
    start = time.monotonic()
    meshes = {}
    points, facets = [], []
    for leaf, matrix in leaves(App.ActiveDocument):
        key = (leaf.Document.Name, leaf.Name)
        if key not in meshes:
            shape = leaf.Shape.copy()
            shape.Placement = App.Placement()
            meshes[key] = MeshPart.meshFromShape(Shape=shape, LinearDeflection=CHORD * shape.BoundBox.DiagonalLength,
                                                 AngularDeflection=ANGLE, Relative=False)
        placed = meshes[key].copy()
        placed.transform(matrix)
        # Gathered and made one mesh at the end: Mesh.addMesh, one at a
        # time, grows quadratically (three minutes for these 2,000).
        placed_points, placed_facets = placed.Topology
        base = len(points)
        points.extend(placed_points)
        facets.extend((a + base, b + base, c + base) for a, b, c in placed_facets)
    whole = Mesh.Mesh()
    whole.addFacets((points, facets))
    path = os.path.join(work, "freecad.obj")
    whole.write(path)
    times["mesh"].append(time.monotonic() - start)
    times["obj_mb"] = os.path.getsize(path) / 1e6
    times["triangles"] = whole.CountFacets


class FreecadRun:
    """The add-on's run, driven as a user's script would: the command, then
    velmora-client on its port; over when the run has ended."""

    def __init__(self, done):
        import VelmoraAddon
        self.addon = VelmoraAddon
        self.done = done
        self.client = None
        self.start = time.monotonic()
        Gui.runCommand("Velmora_ExportZEL")
        self.timer = QtCore.QTimer()
        self.timer.timeout.connect(self.poll)
        self.timer.start(5)

    @fail_fast
    def poll(self):
        run = self.addon.run
        if self.client is None and run is not None and run.port:
            self.client = subprocess.Popen([os.path.join(bin_dir, "velmora-client"), "--port", str(run.port),
                                            os.path.join(work, "freecad.zel")], stdout=subprocess.DEVNULL)
        if self.client is not None and self.client.poll() is not None and run is None:
            self.timer.stop()
            times["freecad"].append(time.monotonic() - self.start)
            times["zel_mb"] = os.path.getsize(os.path.join(work, "freecad.zel")) / 1e6
            self.done()


@fail_fast
def rep(left):
    if left == 0:
        with open(env["VELMORA_BENCH_RESULT"], "w") as out:
            json.dump(times, out)
        os._exit(0)
    host_run()
    headless_run()
    mesh_run()
    rep.current = FreecadRun(lambda: QtCore.QTimer.singleShot(0, lambda: rep(left - 1)))


# Once FreeCAD has opened the document and settled.
QtCore.QTimer.singleShot(2000, lambda: rep(reps))
