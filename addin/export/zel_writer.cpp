#include "zel_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

namespace velmora::zel {
namespace {

template <class Map>
const auto& lookup(const Map& map, Id id)
{
    auto it = map.find(id);
    if (it == map.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

const char* method_text(MethodType method)
{
    switch (method) {
    case MethodType::Triangulation:
        return "triangulation";
    case MethodType::MIP:
        return "MIP";
    case MethodType::PointXYZ:
        return "pointXYZ";
    case MethodType::Polyline:
        return "polyline";
    }
    throw std::runtime_error(fmt::format("ERROR! Unknown GeomElem::MethodType: {}", static_cast<std::uint32_t>(method)));
}

template <std::size_t N>
std::string numbers(const char* prefix, const std::array<double, N>& values)
{
    std::string out = prefix;
    for (std::size_t i = 0; i < N; ++i) {
        if (i) out += ", ";
        fmt::format_to(std::back_inserter(out), "{:.8}", values[i]);
    }
    return out;
}

std::string point_list(const std::vector<Point3>& points)
{
    std::string out = "\n";
    out.reserve(points.size() * 32 + 1);
    for (const auto& p : points) fmt::format_to(std::back_inserter(out), "{:.8}, {:.8}, {:.8};\n", p[0], p[1], p[2]);
    return out;
}

std::string triangle_list(const std::vector<Triangle>& faces)
{
    std::string out = "\n";
    out.reserve(faces.size() * 24 + 1);
    for (const auto& f : faces) fmt::format_to(std::back_inserter(out), "{}, {}, {};\n", f[0], f[1], f[2]);
    return out;
}

void add(pugi::xml_node node, const char* name, const std::string& value)
{
    node.append_attribute(name).set_value(value.c_str());
}

void add_optional(pugi::xml_node node, const char* name, const std::optional<std::string>& value)
{
    if (value) add(node, name, *value);
}

void common_attributes(pugi::xml_node node, const GeomElem& e)
{
    add(node, "name", e.name);
    add_optional(node, "comment", e.comment);
    add_optional(node, "inform", e.inform);
    if (e.LCS) add(node, "LCS", numbers("CS, ", *e.LCS));
    if (e.color) add(node, "color", fmt::format("RGB, {}, {}, {}", e.color->red, e.color->green, e.color->blue));
    if (!e.visible) add(node, "visible", "false");
}

void text_child(pugi::xml_node node, const char* name, const std::string& text)
{
    node.append_child(name).append_child(pugi::node_pcdata).set_value(text.c_str());
}

void write_solid(pugi::xml_node parent, const char* tag, const SolidElem& e)
{
    auto node = parent.append_child(tag);
    add(node, "method", method_text(e.method));
    if (e.MIP) add(node, "MIP", numbers("MIP, ", *e.MIP));
    common_attributes(node, e);
    text_child(node, "vertices", point_list(e.vertices));
    text_child(node, "faces", triangle_list(e.faces));
}

void write_mip(pugi::xml_node parent, const char* tag, const MIPElem& e)
{
    auto node = parent.append_child(tag);
    add(node, "method", method_text(e.method));
    add(node, "MIP", numbers("MIP, ", e.MIP));
    common_attributes(node, e);
}

void write_line(pugi::xml_node parent, const char* tag, const LineElem& e)
{
    auto node = parent.append_child(tag);
    add(node, "method", method_text(e.method));
    common_attributes(node, e);
    text_child(node, "vertices", point_list(e.vertices));
}

void write_point(pugi::xml_node parent, const char* tag, const PointElem& e)
{
    auto node = parent.append_child(tag);
    add(node, "method", method_text(e.method));
    add(node, "center", numbers("", e.center));
    common_attributes(node, e);
}

// RefElem and StructureRefElem: the same attributes, the latter without `visible`.
template <class Ref>
void write_ref(pugi::xml_node parent, const char* tag, const Ref& e)
{
    auto node = parent.append_child(tag);
    add(node, "name", e.name);
    add(node, "MCS", numbers("CS, ", e.MCS));
    add(node, "template", e.template_name);
    add_optional(node, "comment", e.comment);
    add_optional(node, "inform", e.inform);
    if constexpr (requires { e.visible; }) {
        if (!e.visible) add(node, "visible", "false");
    }
}

void write_objects(pugi::xml_node node, const ObjectLists& lists, const ZelDocument& doc)
{
    for (Id id : lists.solids) write_solid(node, "solid", lookup(doc.solid_map, id));
    for (Id id : lists.element_MIPs) write_mip(node, "elementMIP", lookup(doc.element_MIP_map, id));
    for (Id id : lists.lines) write_line(node, "line", lookup(doc.line_map, id));
    for (Id id : lists.points) write_point(node, "point", lookup(doc.point_map, id));
    for (Id id : lists.solid_refs) write_ref(node, "solidRef", lookup(doc.solid_ref_map, id));
    for (Id id : lists.element_MIP_refs) write_ref(node, "elementMIPRef", lookup(doc.element_MIP_ref_map, id));
    for (Id id : lists.line_refs) write_ref(node, "lineRef", lookup(doc.line_ref_map, id));
    for (Id id : lists.point_refs) write_ref(node, "pointRef", lookup(doc.point_ref_map, id));
}

// Writes `record` into `element` and its child structures below it, depth
// first in list order. A structure that contains itself is refused rather
// than written without end.
void write_structure_tree(pugi::xml_node element, const StructureRecord& record, const ZelDocument& doc, Id own_id)
{
    struct Frame {
        const StructureRecord* record;
        pugi::xml_node element;
        Id id;
        std::size_t parent;  // index into frames; npos for the first
    };
    constexpr auto npos = static_cast<std::size_t>(-1);
    std::vector<Frame> frames{{&record, element, own_id, npos}};
    std::vector<std::size_t> pending{0};
    while (!pending.empty()) {
        const std::size_t index = pending.back();
        pending.pop_back();
        const Frame frame = frames[index];
        const StructureRecord& r = *frame.record;
        pugi::xml_node node = frame.element;
        add(node, "name", r.name);
        add_optional(node, "comment", r.comment);
        add_optional(node, "inform", r.inform);
        if (r.LCS) add(node, "LCS", numbers("CS, ", *r.LCS));
        write_objects(node, r, doc);
        for (Id child : r.structures) {
            for (std::size_t up = index; up != npos; up = frames[up].parent)
                if (frames[up].id == child)
                    throw std::runtime_error(fmt::format("ERROR: structure {} contains itself!", child));
            frames.push_back({&lookup(doc.structure_map, child), node.append_child("structure"), child, index});
            pending.push_back(frames.size() - 1);
        }
        for (Id ref : r.structure_refs) write_ref(node, "structureRef", lookup(doc.structure_ref_map, ref));
    }
}

void build(pugi::xml_document& xml, const ZelDocument& doc)
{
    auto root = xml.append_child("ZEL");
    auto header = root.append_child("header");
    add_optional(header, "inform", doc.inform);
    add(header, "minorVersion", fmt::format("{}", doc.minorVersion));
    add(header, "majorVersion", fmt::format("{}", doc.majorVersion));
    add_optional(header, "producerPlatform", doc.producerPlatform);
    add_optional(header, "producerVersion", doc.producerVersion);
    add_optional(header, "producerName", doc.producerName);

    for (const auto& [id, e] : doc.template_solids) write_solid(root, "templateSolid", e);
    for (const auto& [id, e] : doc.template_element_MIPs) write_mip(root, "templateElementMIP", e);
    for (const auto& [id, e] : doc.template_lines) write_line(root, "templateLine", e);
    for (const auto& [id, e] : doc.template_points) write_point(root, "templatePoint", e);
    for (const auto& [id, e] : doc.template_structures)
        write_structure_tree(root.append_child("template_structure"), e, doc, id);

    write_objects(root, doc, doc);
    for (Id id : doc.structures) write_structure_tree(root.append_child("structure"), lookup(doc.structure_map, id), doc, id);
    for (Id id : doc.structure_refs) write_ref(root, "structureRef", lookup(doc.structure_ref_map, id));
}

constexpr unsigned kSaveFlags = pugi::format_indent;

// Writes to a descriptor and remembers the first failure.
class FdWriter : public pugi::xml_writer {
public:
    explicit FdWriter(int fd) : fd_(fd) {}
    void write(const void* data, size_t size) override
    {
        const char* p = static_cast<const char*>(data);
        while (size > 0 && error_ == 0) {
            ssize_t n = ::write(fd_, p, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                error_ = errno;
                break;
            }
            p += n;
            size -= static_cast<size_t>(n);
        }
    }
    int error() const { return error_; }

private:
    int fd_;
    int error_ = 0;
};

[[noreturn]] void fail(const std::string& path, int error)
{
    throw std::runtime_error(fmt::format("Unable to write the ZEL file '{}': {}", path, std::strerror(error)));
}

}  // namespace

std::string formatZelDocument(const ZelDocument& document)
{
    pugi::xml_document xml;
    build(xml, document);
    std::ostringstream out;
    xml.save(out, "  ", kSaveFlags, pugi::encoding_auto);
    return out.str();
}

void writeZelDocument(const ZelDocument& document, const std::string& path)
{
    pugi::xml_document xml;
    build(xml, document);  // everything that can fail on content fails before a file exists

    static std::atomic<unsigned> counter{0};
    const std::string temp = fmt::format("{}.{}-{}.part", path, ::getpid(), counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) fail(path, errno);
    FdWriter writer(fd);
    xml.save(writer, "  ", kSaveFlags, pugi::encoding_auto);
    int error = writer.error();
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        fail(path, error);
    }
}

}  // namespace velmora::zel
