// occt-obj-export MODEL.step OUT.obj: OpenCASCADE reads the model, meshes
// every part as velmora-host does and writes OBJ. The end-to-end
// benchmark's reference.
#include <cstdio>
#include <exception>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include "occt_obj.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: occt-obj-export MODEL.step OUT.obj\n");
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    try {
        const auto doc = velmora::bench::read_xde(argv[1]);
        velmora::bench::mesh_xde(doc);
        velmora::bench::write_obj(doc, argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "occt-obj-export: %s\n", e.what());
        return 1;
    }
    return 0;
}
