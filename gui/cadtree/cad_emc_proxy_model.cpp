#include "cad_emc_proxy_model.h"

#include <algorithm>
#include <tuple>
#include <unordered_set>

#include <QSize>

#include "cad_tree_model.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/shell/error_reporter.h"
#include "gui/shell/node_icons.h"

namespace {

// Keeps the last of repeated ids, the order otherwise unchanged.
std::vector<std::pair<int32_t, bool>> last_occurrences(const std::vector<std::pair<int32_t, bool>>& listed)
{
    std::vector<std::pair<int32_t, bool>> kept;
    std::unordered_set<int32_t> seen;
    for (auto it = listed.rbegin(); it != listed.rend(); ++it)
        if (seen.insert(it->first).second) kept.push_back(*it);
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace

CAD_EMC_ProxyModel::ProxyItem* CAD_EMC_ProxyModel::ProxyItem::add(CAD_RPC::Node* child_node)
{
    auto child = std::make_unique<ProxyItem>();
    child->node = child_node;
    child->parent = this;
    children.push_back(std::move(child));
    return children.back().get();
}

CAD_EMC_ProxyModel::CAD_EMC_ProxyModel(QObject* parent) : QAbstractItemModel(parent)
{
    qRegisterMetaType<CAD_RPC::Node*>("CAD_RPC::Node*");
}

CAD_EMC_ProxyModel::~CAD_EMC_ProxyModel() = default;

void CAD_EMC_ProxyModel::MIP_for_each()
{
    single_mip = false;
    update_model();
}

void CAD_EMC_ProxyModel::single_MIP_for_all()
{
    single_mip = true;
    update_model();
}

CAD_RPC::Node* CAD_EMC_ProxyModel::make_node(CAD_RPC::NodeType::type type, const std::string& name, int32_t id,
                                             int32_t parent_id, bool visible)
{
    auto node = std::make_unique<CAD_RPC::Node>();
    node->type = type;
    node->name = name;
    node->id = id;
    node->parent_id = parent_id;
    node->is_visible = visible;
    nodes.push_back(std::move(node));
    return nodes.back().get();
}

void CAD_EMC_ProxyModel::update_model()
{
    beginResetModel();
    nodes.clear();
    root = std::make_unique<ProxyItem>();
    const std::optional<QString> failure = failure_of([&] { build(); });
    if (failure) {
        // Half a tree would export half a model: show nothing instead.
        root = std::make_unique<ProxyItem>();
        nodes.clear();
    }
    endResetModel();
    if (failure) report_failure(nullptr, tr("Unable to apply the EMC configuration!"), *failure);
}

void CAD_EMC_ProxyModel::build()
{
    if (!emc_model || !tree) return;
    for (int row = 0; row < emc_model->rowCount(); ++row) build_item(row);
}

void CAD_EMC_ProxyModel::build_item(int row)
{
    const QModelIndex cae = emc_model->index(row, 0);
    CAD_RPC::Node* structure = make_node(CAD_RPC::NodeType::Structure,
                                         cae.data(EMC_TreeModel::M_NameRole).toString().toStdString(),
                                         CAD_RPC::CAE_NodeType::CAE_Struct, CAD_RPC::CAE_NodeType::CAE_Struct, true);
    ProxyItem* cae_item = root->add(structure);
    const std::vector<ListedObject> listed = listed_objects(cae);
    if (listed.empty()) return;

    const auto method = cae.data(EMC_TreeModel::MethodRole).value<EMC_TreeModel::M_obj_Method>();
    if (method == EMC_TreeModel::point) {
        for (const ListedObject& object : listed) cae_item->add(&tree->nodes.at(object.id));
        return;
    }
    const std::vector<int32_t> keep_geometry = add_subtrees(cae_item, listed);
    if (method == EMC_TreeModel::solidB)
        convert_small_solids(cae_item, keep_geometry, cae.data(EMC_TreeModel::MinSizeRole).toDouble());
}

std::vector<CAD_EMC_ProxyModel::ListedObject> CAD_EMC_ProxyModel::listed_objects(const QModelIndex& cae) const
{
    std::vector<ListedObject> listed;
    for (int r = 0; r < emc_model->rowCount(cae); ++r) {
        const QModelIndex cad = emc_model->index(r, 0, cae);
        const int32_t id = cad.data(EMC_TreeModel::NodeIdRole).toInt();
        if (id == -1) continue;  // not in this CAD model
        listed.push_back({id, cad.data(EMC_TreeModel::IncludeRole).toBool(), cad.data(EMC_TreeModel::GeomRole).toBool()});
    }
    return listed;
}

std::vector<int32_t> CAD_EMC_ProxyModel::add_subtrees(ProxyItem* cae_item, const std::vector<ListedObject>& listed)
{
    // Nested: inside the CAD subtree of another listed object. Only nested
    // objects can change what their subtree shows (include) or keep their
    // geometry (geom).
    std::unordered_set<int32_t> listed_ids;
    for (const ListedObject& object : listed) listed_ids.insert(object.id);
    auto is_nested = [&](int32_t id) {
        std::unordered_set<int32_t> visited{id};
        for (int32_t up = tree->nodes.at(id).parent_id; tree->nodes.count(up) && visited.insert(up).second;
             up = tree->nodes.at(up).parent_id)
            if (listed_ids.count(up)) return true;
        return false;
    };
    std::vector<std::pair<int32_t, bool>> top, nested;
    std::vector<int32_t> keep_geometry;
    for (const ListedObject& object : listed) {
        if (is_nested(object.id)) {
            nested.emplace_back(object.id, object.include);
            if (object.geom) keep_geometry.push_back(object.id);
        } else {
            top.emplace_back(object.id, object.include);
        }
    }
    top = last_occurrences(top);
    nested = last_occurrences(nested);
    std::unordered_set<int32_t> included;
    for (const auto& [id, include] : nested)
        if (include) included.insert(id);

    for (const auto& [top_id, top_include] : top) {
        // An excluded object hides itself only: included descendants hang
        // under the nearest shown ancestor.
        std::vector<std::tuple<bool, int32_t, ProxyItem*>> stack{{top_include, top_id, cae_item}};
        while (!stack.empty()) {
            auto [shown, id, parent_item] = stack.back();
            stack.pop_back();
            CAD_RPC::Node& node = tree->nodes.at(id);
            ProxyItem* children_parent = shown ? parent_item->add(&node) : parent_item;
            // Pushed last to first, so the children come out in CAD order.
            for (auto child = node.children_ids.rbegin(); child != node.children_ids.rend(); ++child) {
                const auto type = tree->nodes.at(*child).type;
                if (type != CAD_RPC::NodeType::Structure && type != CAD_RPC::NodeType::Solid) continue;
                stack.emplace_back(included.count(*child) ? true : shown, *child, children_parent);
            }
        }
    }
    return keep_geometry;
}

void CAD_EMC_ProxyModel::convert_small_solids(ProxyItem* cae_item, const std::vector<int32_t>& keep_geometry,
                                              double min_size_mm)
{
    const std::unordered_set<int32_t> keep(keep_geometry.begin(), keep_geometry.end());
    std::vector<ProxyItem*> stack{cae_item};
    while (!stack.empty()) {
        ProxyItem* item = stack.back();
        stack.pop_back();
        std::vector<ProxyItem*> solids;
        std::vector<int32_t> ids;
        for (const auto& child : item->children)
            if (child->node->type == CAD_RPC::NodeType::Solid && !keep.count(child->node->id)) {
                solids.push_back(child.get());
                ids.push_back(child->node->id);
            }
        std::vector<bool> large_enough;
        if (!client) throw std::runtime_error("No connection to the CAD plugin.");
        client->get_min_size_comparison_results(large_enough, min_size_mm * 0.001, ids);
        if (large_enough.size() != ids.size())
            throw std::runtime_error("The CAD plugin answered the size comparison with a wrong number of results.");

        if (std::find(large_enough.begin(), large_enough.end(), false) != large_enough.end()) {
            if (!single_mip) {
                for (std::size_t i = 0; i < solids.size(); ++i)
                    if (!large_enough[i]) {
                        const CAD_RPC::Node* solid = solids[i]->node;
                        solids[i]->node = make_node(CAD_RPC::NodeType::ElementMIP, solid->name, solid->id,
                                                    solid->parent_id, solid->is_visible);
                    }
            } else {
                CAD_RPC::Node* mip = make_node(CAD_RPC::NodeType::ElementMIP, "mipEmptySolid",
                                               CAD_RPC::CAE_NodeType::MultibodyMIP, -1, true);
                for (std::size_t i = 0; i < solids.size(); ++i)
                    if (!large_enough[i]) {
                        mip->children_ids.push_back(solids[i]->node->id);
                        mip->children_ids.push_back(solids[i]->node->parent_id);
                        auto& children = item->children;
                        children.erase(std::find_if(children.begin(), children.end(),
                                                    [&](const auto& c) { return c.get() == solids[i]; }));
                    }
                item->add(mip);
            }
        }
        for (const auto& child : item->children) stack.push_back(child.get());
    }
}

CAD_EMC_ProxyModel::ProxyItem* CAD_EMC_ProxyModel::item_of(const QModelIndex& index)
{
    return static_cast<ProxyItem*>(index.internalPointer());
}

int CAD_EMC_ProxyModel::row_of(const ProxyItem* item) const
{
    const auto& siblings = item->parent->children;
    for (std::size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == item) return static_cast<int>(i);
    return -1;
}

QModelIndex CAD_EMC_ProxyModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!root || !hasIndex(row, column, parent)) return {};
    const ProxyItem* owner = parent.isValid() ? item_of(parent) : root.get();
    return createIndex(row, column, owner->children[static_cast<std::size_t>(row)].get());
}

QModelIndex CAD_EMC_ProxyModel::parent(const QModelIndex& index) const
{
    if (!index.isValid()) return {};
    ProxyItem* up = item_of(index)->parent;
    if (!up || up == root.get()) return {};
    return createIndex(row_of(up), 0, up);
}

int CAD_EMC_ProxyModel::rowCount(const QModelIndex& parent) const
{
    if (!root || parent.column() > 0) return 0;
    const ProxyItem* owner = parent.isValid() ? item_of(parent) : root.get();
    return static_cast<int>(owner->children.size());
}

int CAD_EMC_ProxyModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CAD_EMC_ProxyModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    const ProxyItem* item = item_of(index);
    CAD_RPC::Node* node = item->node;
    switch (role) {
    case Qt::DisplayRole:
    case CAD_TreeModel::NameRole: return QString::fromStdString(node->name);
    case Qt::DecorationRole: {
        const QIcon* icon = node_type_icon(node->type);
        return icon ? QVariant(*icon) : QVariant();
    }
    case Qt::SizeHintRole: return QSize(-1, 18);
    case Qt::UserRole: return QVariant::fromValue(node);
    case CAD_TreeModel::TypeRole: return static_cast<int>(node->type);
    case CAD_TreeModel::IdRole: return node->id;
    case CAD_TreeModel::ParentIdRole: return node->parent_id;
    case CAD_TreeModel::VisibleRole: return node->is_visible;
    // The row's own address: one CAD node may be shown under two CAE items
    // with different children, and the name cache keys on this.
    case CAD_TreeModel::NodeAddressRole:
        return QVariant::fromValue(static_cast<qulonglong>(reinterpret_cast<quintptr>(item)));
    default: return {};
    }
}

QVariant CAD_EMC_ProxyModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return tr("CAD Tree");
    return {};
}

Qt::ItemFlags CAD_EMC_ProxyModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? QAbstractItemModel::flags(index) : Qt::NoItemFlags;
}
