#include "export_tree.h"

#include <utility>

namespace tarvik {
namespace {

// The characters a ZEL name may hold, as the pattern [A-Za-zА-ЯЁа-яё\d]
// has them (\d: ASCII digits only). Tested per code point by hand: the
// regular expression costs more than the rest of a view's walk.
bool valid_name_char(char32_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           (c >= 0x0410 && c <= 0x044F) || c == 0x0401 || c == 0x0451;
}

}  // namespace

QString correct_name(const QString& name)
{
    if (name.isEmpty()) return QStringLiteral("_");
    QString result;
    result.reserve(name.size() + 1);
    if (name.front() >= u'0' && name.front() <= u'9') result.append(u'_');
    // One "_" per character: a surrogate pair is one character.
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            result.append(u'_');
            ++i;
        } else {
            result.append(valid_name_char(c.unicode()) ? c : QChar(u'_'));
        }
    }
    return result;
}

QString correct_name(const std::string& name)
{
    if (name.empty()) return QStringLiteral("_");
    const bool leading_digit = name.front() >= '0' && name.front() <= '9';
    QString result(static_cast<qsizetype>(name.size()) + (leading_digit ? 1 : 0), Qt::Uninitialized);
    QChar* out = result.data();
    if (leading_digit) *out++ = u'_';
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) return correct_name(QString::fromStdString(name));
        *out++ = valid_name_char(u) ? QChar(u) : QChar(u'_');
    }
    return result;
}

QString SiblingNames::add(QString corrected)
{
    int& stored = seen_[corrected];
    if (stored == 0) {
        stored = 1;
        return corrected;
    }
    // "_$N" after the name, or "$N" after a trailing "_". A and A_ both
    // make A_$N: where that is taken already, count on until it is free.
    const QStringView separator = corrected.endsWith(u'_') ? QStringView(u"$") : QStringView(u"_$");
    QString final_name;
    do {
        final_name.clear();
        final_name += corrected;
        final_name += separator;
        final_name += QString::number(stored++);
    } while (seen_.contains(final_name));
    seen_.insert(final_name, 1);  // as a new name, its counter from 0 again
    return final_name;
}

ShownItem* ShownItem::add(const CAD_RPC::Node* child_node)
{
    auto child = std::make_unique<ShownItem>();
    child->node = child_node;
    child->parent = this;
    children.push_back(std::move(child));
    return children.back().get();
}

std::unique_ptr<ShownItem> shown_cad_tree(const CAD_RPC::Tree& tree)
{
    auto root = std::make_unique<ShownItem>();
    const auto top = tree.nodes.find(tree.root_id);
    if (top == tree.nodes.end()) return root;
    std::vector<std::pair<const CAD_RPC::Node*, ShownItem*>> stack{{&top->second, root.get()}};
    while (!stack.empty()) {
        const auto [node, item] = stack.back();
        stack.pop_back();
        for (const int32_t id : node->children_ids) {
            const auto child = tree.nodes.find(id);
            if (child == tree.nodes.end()) continue;
            stack.emplace_back(&child->second, item->add(&child->second));
        }
    }
    return root;
}

void build_export_tree(const ShownItem& root, bool all_as_visible, CAD_RPC::Tree& tree)
{
    tree.root_id = 0;
    // The root stands for the model: a structure without a name of its own.
    CAD_RPC::Node& top = tree.nodes[0];
    top.type = CAD_RPC::NodeType::Structure;
    top.is_visible = all_as_visible;
    // (key, item); the last pushed is expanded first.
    std::vector<std::pair<int32_t, const ShownItem*>> stack{{0, &root}};
    int32_t next_key = 1;
    while (!stack.empty()) {
        const auto [key, item] = stack.back();
        stack.pop_back();
        SiblingNames names(static_cast<int>(item->children.size()));
        std::vector<std::pair<int32_t, const ShownItem*>> children;
        for (const auto& child : item->children) {
            const CAD_RPC::Node& source = *child->node;
            const int32_t child_key = next_key++;
            tree.nodes[key].children_ids.push_back(child_key);
            CAD_RPC::Node& node = tree.nodes[child_key];
            node.type = source.type;
            node.name = names.add(correct_name(source.name)).toStdString();
            node.id = source.id;
            node.parent_id = source.parent_id;
            node.is_visible = all_as_visible || source.is_visible;
            if (source.type == CAD_RPC::NodeType::ElementMIP)
                node.children_ids = source.children_ids;  // the solids it stands for
            else if (source.type == CAD_RPC::NodeType::Structure)
                children.emplace_back(child_key, child.get());
        }
        // The last child is expanded first, as the keys have always been handed out.
        stack.insert(stack.end(), children.begin(), children.end());
    }
}

}  // namespace tarvik
