// make-large-model OUT.step: writes the large machine the benchmarks run on;
// make-large-model --layout DIR: its parts and layout, for other CAD systems.
#include <exception>
#include <iostream>
#include <string>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include "large_model.h"

int main(int argc, char** argv)
{
    const bool layout = argc == 3 && std::string(argv[1]) == "--layout";
    if (!layout && (argc != 2 || std::string(argv[1]).rfind('-', 0) == 0)) {
        std::cerr << "usage: make-large-model OUT.step\n       make-large-model --layout DIR\n";
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    try {
        if (layout) {
            velmora::examples::write_large_model_layout(argv[2]);
            std::cout << argv[2] << ": the large model's parts (BREP) and layout.txt\n";
            return 0;
        }
        const auto summary = velmora::examples::write_large_model(argv[1]);
        std::cout << argv[1] << ": " << summary.parts << " parts, " << summary.assemblies << " assemblies, "
                  << summary.occurrences << " part occurrences\n";
    } catch (const std::exception& e) {
        std::cerr << "make-large-model: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
