// make-edge-case-models DIR: writes the small models that each reproduce a
// kind of trouble real files bring (edge_case_models.h) into DIR.
#include <exception>
#include <iostream>
#include <string>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include "edge_case_models.h"

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]).rfind('-', 0) == 0) {
        std::cerr << "usage: make-edge-case-models DIR\n";
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    try {
        velmora::examples::write_edge_case_models(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make-edge-case-models: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
