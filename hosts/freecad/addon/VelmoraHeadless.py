# A FreeCAD document with no display and no FreeCAD window: velmora-host
# runs this under FreeCAD's command-line program (freecadcmd) to take the
# snapshot the command takes (VelmoraSnapshot) of VELMORA_DOCUMENT, and
# writes it as JSON to VELMORA_SNAPSHOT, or {"error": why} where FreeCAD
# cannot give it. FreeCAD opens the documents the document links to.
import json
import os
import sys
import traceback


def _snapshot(path):
    import FreeCAD as App
    import VelmoraSnapshot

    if not os.path.isfile(path):
        raise ValueError("no such file")
    before = set(App.listDocuments())
    doc = App.openDocument(path, True)
    try:
        return VelmoraSnapshot.Snapshot(doc).as_dict()
    finally:
        for name in set(App.listDocuments()) - before:
            App.closeDocument(name)


def main():
    sys.path.insert(0, os.environ["VELMORA_ADDON"])
    try:
        result = _snapshot(os.environ["VELMORA_DOCUMENT"])
    except Exception as error:
        traceback.print_exc()
        result = {"error": str(error) or type(error).__name__}
    with open(os.environ["VELMORA_SNAPSHOT"], "w", encoding="utf-8") as out:
        json.dump(result, out, ensure_ascii=False)


main()
