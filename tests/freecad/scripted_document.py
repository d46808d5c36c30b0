# A document made by a script without FreeCAD's GUI (freecadcmd), saved to
# VELMORA_OUT: an App::Part with a plain group holding a box. Made so, the
# part lists the group's members as its own too.
import os

import FreeCAD as App

doc = App.newDocument("Scripted")
part = doc.addObject("App::Part", "Part")
group = doc.addObject("App::DocumentObjectGroup", "Group")
part.addObject(group)
group.addObject(doc.addObject("Part::Box", "Box"))
doc.recompute()
doc.saveAs(os.environ["VELMORA_OUT"])
