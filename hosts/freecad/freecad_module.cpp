// velmora_freecad: what the FreeCAD add-on calls, on FreeCAD's main thread.
#include <dlfcn.h>

#include <filesystem>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "host_interface/host_text.h"
#include "freecad_host.h"

namespace py = pybind11;
using namespace velmora;

namespace {

py::dict group_of(const occt::OcctCommandGroupView& g)
{
    py::list commands;
    for (const auto& c : g.commands)
        commands.append(py::dict(py::arg("name") = cad::utf8_from_utf16(c.name),
                                 py::arg("tooltip") = cad::utf8_from_utf16(c.tooltip),
                                 py::arg("hint") = cad::utf8_from_utf16(c.hint),
                                 py::arg("image_index") = c.image_index));
    auto files = [](const std::vector<std::u16string>& names) {
        std::vector<std::string> out;
        for (const auto& n : names) out.push_back(cad::utf8_from_utf16(n));
        return out;
    };
    return py::dict(py::arg("title") = cad::utf8_from_utf16(g.title), py::arg("tooltip") = cad::utf8_from_utf16(g.tooltip),
                    py::arg("hint") = cad::utf8_from_utf16(g.hint), py::arg("main_icons") = files(g.main_icons),
                    py::arg("icons") = files(g.icons), py::arg("commands") = commands);
}

const char* kind_name(freecad::RunEvent::Kind kind)
{
    switch (kind) {
    case freecad::RunEvent::Serving: return "serving";
    case freecad::RunEvent::BoxOpened: return "box_opened";
    case freecad::RunEvent::BoxClosed: return "box_closed";
    case freecad::RunEvent::Redrawn: return "redrawn";
    case freecad::RunEvent::Ended: return "ended";
    }
    return "";
}

// The add-in where the build and the installation put it: DIR/Velmora/lib,
// with this module in DIR/FreeCAD/Mod/Velmora.
std::string default_addin_path()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&default_addin_path), &info) == 0 || !info.dli_fname)
        throw std::runtime_error("cannot tell where the Velmora module is");
    // <root>/FreeCAD/Mod/Velmora/velmora_freecad...so
    const auto module = std::filesystem::canonical(info.dli_fname);
    return cad::addin_module_in(module.parent_path().parent_path().parent_path().parent_path().string());
}

}  // namespace

PYBIND11_MODULE(velmora_freecad, m)
{
    m.doc() = "The Velmora add-in in FreeCAD";
    m.def("default_addin_path", &default_addin_path);
    m.def("check_settings", [] { freecad::settings_from(); },
          "Raises ValueError when a VELMORA_* variable holds a bad value.");
    py::register_exception<std::invalid_argument>(m, "SettingsError", PyExc_ValueError);

    py::class_<freecad::FreecadHost>(m, "Host")
        .def(py::init([](const std::string& addin_path, const std::string& language) {
                 return std::make_unique<freecad::FreecadHost>(addin_path, cad::utf16_from_utf8(language));
             }),
             py::arg("addin_path"), py::arg("language") = "English")
        .def("command_group", [](const freecad::FreecadHost& h) { return group_of(h.command_group()); })
        .def_property_readonly("running", &freecad::FreecadHost::running)
        .def(
            "start",
            [](freecad::FreecadHost& h, const std::string& command, const std::string& snapshot) {
                const auto settings = freecad::settings_from();
                const auto document = freecad::freecad_document_from_json(snapshot);
                py::gil_scoped_release free;
                h.start(cad::utf16_from_utf8(command), freecad::occt_model_of(document), settings);
            },
            py::arg("command"), py::arg("snapshot"))
        .def("events",
             [](freecad::FreecadHost& h) {
                 py::list out;
                 for (const auto& e : h.take_events())
                     out.append(py::make_tuple(kind_name(e.kind), e.number, e.caption, e.text));
                 return out;
             })
        .def("box_closed", &freecad::FreecadHost::box_closed)
        .def("highlighted",
             [](const freecad::FreecadHost& h) {
                 py::list out;
                 for (const auto& t : h.highlighted()) out.append(py::make_tuple(t.path, t.elements));
                 return out;
             })
        .def("close_boxes", &freecad::FreecadHost::close_boxes)
        .def("finish", &freecad::FreecadHost::finish, py::call_guard<py::gil_scoped_release>());
}
