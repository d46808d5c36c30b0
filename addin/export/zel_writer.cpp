#include "zel_writer.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "common/atomic_file.h"
#include "ordered_pipeline.h"

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

// The XML text, written as it is produced. pugixml's layout with two-space
// indentation is kept byte for byte (the files written before stay the
// same), but no document tree is built: a whole machine's export would hold
// its text twice in memory. Number lists are formatted on the pipeline's
// threads in pieces of kLinesPerPiece lines.
class XmlOut {
public:
    static constexpr std::size_t kLinesPerPiece = 8192;

    explicit XmlOut(TextSink& sink) : pipeline_(sink), text_(pipeline_.text()) {}
    std::string& text() { return text_; }
    // `numbers` appends to the text it is given, on some thread.
    void defer(OrderedPipeline::Job numbers) { pipeline_.defer(std::move(numbers)); }
    // Keeps the literal text small where elements without numbers abound.
    void maybe_flush() { pipeline_.flush_if_large(); }
    void finish() { pipeline_.finish(); }

    void start(int depth, const char* tag)
    {
        text_.append(2 * static_cast<std::size_t>(depth), ' ');
        text_ += '<';
        text_ += tag;
    }
    // An attribute's value ends at its first NUL, as a C string would.
    void attribute(const char* name, std::string_view value)
    {
        value = value.substr(0, value.find('\0'));
        text_ += ' ';
        text_ += name;
        text_ += "=\"";
        for (const char c : value) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '&')
                text_ += "&amp;";
            else if (c == '<')
                text_ += "&lt;";
            else if (c == '"')
                text_ += "&quot;";
            else if (u < 32) {
                const char escaped[] = {'&', '#', static_cast<char>('0' + u / 10), static_cast<char>('0' + u % 10), ';'};
                text_.append(escaped, sizeof escaped);
            } else
                text_ += c;
        }
        text_ += '"';
    }
    void optional_attribute(const char* name, const std::optional<std::string>& value)
    {
        if (value) attribute(name, *value);
    }
    template <std::size_t N>
    void numbers(const char* name, const char* prefix, const std::array<double, N>& values)
    {
        scratch_ = prefix;
        for (std::size_t i = 0; i < N; ++i) {
            if (i) scratch_ += ", ";
            fmt::format_to(std::back_inserter(scratch_), "{:.8}", values[i]);
        }
        attribute(name, scratch_);
    }
    void empty_end() { text_ += " />\n"; }
    void children_follow() { text_ += ">\n"; }
    void end(int depth, const char* tag)
    {
        text_.append(2 * static_cast<std::size_t>(depth), ' ');
        text_ += "</";
        text_ += tag;
        text_ += ">\n";
    }
    // <tag> directly followed by its text (which starts with a line break).
    void text_start(int depth, const char* tag)
    {
        start(depth, tag);
        text_ += ">\n";
    }
    void text_end(const char* tag)
    {
        text_ += "</";
        text_ += tag;
        text_ += ">\n";
    }

private:
    OrderedPipeline pipeline_;
    std::string& text_;
    std::string scratch_;
};

// Numbers are the only text of these elements: nothing in them needs escaping.
void format_points(std::string& text, const Point3* begin, const Point3* end, const Placement* placement)
{
    text.reserve(static_cast<std::size_t>(end - begin) * 40);
    for (const Point3* v = begin; v != end; ++v) {
        const Point3 p = placement ? place(*placement, *v) : *v;
        char line[128];  // three numbers of at most 15 characters each
        text.append(line, fmt::format_to(line, FMT_COMPILE("{:.8}, {:.8}, {:.8};\n"), p[0], p[1], p[2]));
    }
}

void format_triangles(std::string& text, const Triangle* begin, const Triangle* end, bool reversed)
{
    text.reserve(static_cast<std::size_t>(end - begin) * 24);
    const std::size_t second = reversed ? 2 : 1, third = reversed ? 1 : 2;
    for (const Triangle* f = begin; f != end; ++f) {
        char line[80];  // three numbers of at most 20 digits each
        text.append(line, fmt::format_to(line, FMT_COMPILE("{}, {}, {};\n"), (*f)[0], (*f)[second], (*f)[third]));
    }
}

// `items` as the text of `tag`, handed to the formatting threads in pieces.
// They read the document's lists (and placements) directly: it outlives the write.
template <class T, class Format>
void number_list(XmlOut& out, int depth, const char* tag, const std::vector<T>& items, const Format& format)
{
    out.text_start(depth, tag);
    for (std::size_t i = 0; i < items.size(); i += XmlOut::kLinesPerPiece) {
        const T* begin = items.data() + i;
        const T* end = items.data() + std::min(items.size(), i + XmlOut::kLinesPerPiece);
        out.defer([=](std::string& text) { format(text, begin, end); });
    }
    out.text_end(tag);
}

void point_list(XmlOut& out, int depth, const std::vector<Point3>& points, const Placement* placement)
{
    number_list(out, depth, "vertices", points, [placement](std::string& text, const Point3* begin, const Point3* end) {
        format_points(text, begin, end, placement);
    });
}

void triangle_list(XmlOut& out, int depth, const std::vector<Triangle>& faces, bool reversed)
{
    number_list(out, depth, "faces", faces, [reversed](std::string& text, const Triangle* begin, const Triangle* end) {
        format_triangles(text, begin, end, reversed);
    });
}

void common_attributes(XmlOut& out, const GeomElem& e)
{
    out.attribute("name", e.name);
    out.optional_attribute("comment", e.comment);
    out.optional_attribute("inform", e.inform);
    if (e.LCS) out.numbers("LCS", "CS, ", *e.LCS);
    if (e.color) out.attribute("color", fmt::format("RGB, {}, {}, {}", e.color->red, e.color->green, e.color->blue));
    if (!e.visible) out.attribute("visible", "false");
}

void write_solid(XmlOut& out, int depth, const char* tag, const SolidElem& e)
{
    out.start(depth, tag);
    out.attribute("method", method_text(e.method));
    if (e.MIP) out.numbers("MIP", "MIP, ", *e.MIP);
    common_attributes(out, e);
    out.children_follow();
    if (e.mesh) {
        point_list(out, depth + 1, *e.mesh->vertices, &e.mesh->placement);
        triangle_list(out, depth + 1, *e.mesh->faces, e.mesh->reversed);
    } else {
        point_list(out, depth + 1, e.vertices, nullptr);
        triangle_list(out, depth + 1, e.faces, false);
    }
    out.end(depth, tag);
}

void write_mip(XmlOut& out, int depth, const char* tag, const MIPElem& e)
{
    out.start(depth, tag);
    out.attribute("method", method_text(e.method));
    out.numbers("MIP", "MIP, ", e.MIP);
    common_attributes(out, e);
    out.empty_end();
}

void write_line(XmlOut& out, int depth, const char* tag, const LineElem& e)
{
    out.start(depth, tag);
    out.attribute("method", method_text(e.method));
    common_attributes(out, e);
    out.children_follow();
    point_list(out, depth + 1, e.vertices, nullptr);
    out.end(depth, tag);
}

void write_point(XmlOut& out, int depth, const char* tag, const PointElem& e)
{
    out.start(depth, tag);
    out.attribute("method", method_text(e.method));
    out.numbers("center", "", e.center);
    common_attributes(out, e);
    out.empty_end();
}

// RefElem and StructureRefElem: the same attributes, the latter without `visible`.
template <class Ref>
void write_ref(XmlOut& out, int depth, const char* tag, const Ref& e)
{
    out.start(depth, tag);
    out.attribute("name", e.name);
    out.numbers("MCS", "CS, ", e.MCS);
    out.attribute("template", e.template_name);
    out.optional_attribute("comment", e.comment);
    out.optional_attribute("inform", e.inform);
    if constexpr (requires { e.visible; }) {
        if (!e.visible) out.attribute("visible", "false");
    }
    out.empty_end();
}

bool has_objects(const ObjectLists& l)
{
    return !(l.solids.empty() && l.element_MIPs.empty() && l.lines.empty() && l.points.empty() &&
             l.solid_refs.empty() && l.element_MIP_refs.empty() && l.line_refs.empty() && l.point_refs.empty());
}

void write_objects(XmlOut& out, int depth, const ObjectLists& lists, const ZelDocument& doc)
{
    auto each = [&](const std::vector<Id>& ids, const auto& map, const char* tag, auto write) {
        for (Id id : ids) {
            write(out, depth, tag, lookup(map, id));
            out.maybe_flush();
        }
    };
    each(lists.solids, doc.solid_map, "solid", write_solid);
    each(lists.element_MIPs, doc.element_MIP_map, "elementMIP", write_mip);
    each(lists.lines, doc.line_map, "line", write_line);
    each(lists.points, doc.point_map, "point", write_point);
    each(lists.solid_refs, doc.solid_ref_map, "solidRef", write_ref<RefElem>);
    each(lists.element_MIP_refs, doc.element_MIP_ref_map, "elementMIPRef", write_ref<RefElem>);
    each(lists.line_refs, doc.line_ref_map, "lineRef", write_ref<RefElem>);
    each(lists.point_refs, doc.point_ref_map, "pointRef", write_ref<RefElem>);
}

// Writes `record` as `tag` and its child structures inside it, depth first
// in list order, without recursion (structures may nest deeply). The
// document's structures contain no cycle: the export driver refuses a tree
// whose structures contain themselves before any document is built.
void write_structure_tree(XmlOut& out, int depth, const char* tag, const StructureRecord& record,
                          const ZelDocument& doc, Id own_id)
{
    struct Frame {
        const StructureRecord* record;
        Id id;
        const char* tag;
        std::size_t next_child;
    };
    std::vector<Frame> stack;
    auto open = [&](const StructureRecord& r, Id id, const char* t) {
        const int d = depth + static_cast<int>(stack.size());
        out.start(d, t);
        out.attribute("name", r.name);
        out.optional_attribute("comment", r.comment);
        out.optional_attribute("inform", r.inform);
        if (r.LCS) out.numbers("LCS", "CS, ", *r.LCS);
        if (!has_objects(r) && r.structures.empty() && r.structure_refs.empty()) {
            out.empty_end();
            return;
        }
        out.children_follow();
        write_objects(out, d + 1, r, doc);
        out.maybe_flush();
        stack.push_back({&r, id, t, 0});
    };
    open(record, own_id, tag);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const StructureRecord& r = *frame.record;
        if (frame.next_child < r.structures.size()) {
            const Id child = r.structures[frame.next_child++];
            open(lookup(doc.structure_map, child), child, "structure");
            continue;
        }
        const int d = depth + static_cast<int>(stack.size()) - 1;
        for (Id ref : r.structure_refs) write_ref(out, d + 1, "structureRef", lookup(doc.structure_ref_map, ref));
        out.end(d, frame.tag);
        stack.pop_back();
    }
}

void write_document(XmlOut& out, const ZelDocument& doc)
{
    out.text() += "<?xml version=\"1.0\"?>\n<ZEL>\n";
    out.start(1, "header");
    out.optional_attribute("inform", doc.inform);
    out.attribute("minorVersion", fmt::format("{}", doc.minorVersion));
    out.attribute("majorVersion", fmt::format("{}", doc.majorVersion));
    out.optional_attribute("producerPlatform", doc.producerPlatform);
    out.optional_attribute("producerVersion", doc.producerVersion);
    out.optional_attribute("producerName", doc.producerName);
    out.empty_end();

    for (const auto& [id, e] : doc.template_solids) write_solid(out, 1, "templateSolid", e);
    for (const auto& [id, e] : doc.template_element_MIPs) write_mip(out, 1, "templateElementMIP", e);
    for (const auto& [id, e] : doc.template_lines) write_line(out, 1, "templateLine", e);
    for (const auto& [id, e] : doc.template_points) write_point(out, 1, "templatePoint", e);
    for (const auto& [id, e] : doc.template_structures) write_structure_tree(out, 1, "template_structure", e, doc, id);

    write_objects(out, 1, doc, doc);
    for (Id id : doc.structures) write_structure_tree(out, 1, "structure", lookup(doc.structure_map, id), doc, id);
    for (Id id : doc.structure_refs) write_ref(out, 1, "structureRef", lookup(doc.structure_ref_map, id));
    out.text() += "</ZEL>\n";
    out.finish();
}

class StringSink : public TextSink {
public:
    explicit StringSink(std::string& text) : text_(text) {}
    void write(std::string_view text) override { text_ += text; }

private:
    std::string& text_;
};

class FileSink : public TextSink {
public:
    explicit FileSink(files::AtomicFile& file) : file_(file) {}
    void write(std::string_view text) override { file_.write(text); }

private:
    files::AtomicFile& file_;
};

}  // namespace

std::string format_zel_document(const ZelDocument& document)
{
    std::string text;
    StringSink sink(text);
    XmlOut out(sink);
    write_document(out, document);
    return text;
}

void write_zel_document(const ZelDocument& document, const std::string& path)
{
    files::AtomicFile file(path, "the ZEL file");
    {
        FileSink sink(file);
        XmlOut out(sink);
        write_document(out, document);
    }
    file.commit();
}

}  // namespace velmora::zel
