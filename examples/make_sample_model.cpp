// make-sample-model OUT.step: writes the sample assembly that the README's
// main job opens.
#include <exception>
#include <iostream>
#include <string>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include "sample_model.h"

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]).rfind('-', 0) == 0) {
        std::cerr << "usage: make-sample-model OUT.step\n";
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    try {
        velmora::examples::write_sample_model(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make-sample-model: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
