# FreeCAD runs this file when its GUI starts: Velmora loads the add-in and
# shows its command in every workbench.
def _start_velmora():
    import FreeCAD
    try:
        import VelmoraAddon
        VelmoraAddon.install()
    except Exception as error:  # FreeCAD must start whatever the add-in does
        FreeCAD.Console.PrintError("Velmora: the add-in could not be loaded: {}\n".format(error))


_start_velmora()
