# FreeCAD runs this file when its GUI starts: Velmora shows its command in
# every workbench (VelmoraCommand); the add-in loads when it is first used.
def _start_velmora():
    import FreeCAD
    try:
        import VelmoraCommand
        VelmoraCommand.install()
    except Exception as error:  # FreeCAD must start whatever the add-on does
        FreeCAD.Console.PrintError("Velmora: the command could not be added: {}\n".format(error))


_start_velmora()
