// The GUI's models over a 100,000-node tree, walked completely as a view
// walks them (every row's index, parent, name and icon), against building
// and walking a QStandardItemModel of the same tree. Interleaved
// repetitions, medians, one run.
//   gui_models_bench [NODES] [REPS]       (QT_QPA_PLATFORM=offscreen)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QStandardItemModel>

#include "bench_tree.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/common/node_icons.h"

using Clock = std::chrono::steady_clock;

namespace {

// What a view asks of every row it shows.
std::size_t walk(const QAbstractItemModel& model, const QModelIndex& parent = {})
{
    std::size_t rows = 0;
    const int count = model.rowCount(parent);
    for (int row = 0; row < count; ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        rows += 1 + static_cast<std::size_t>(model.data(index, Qt::DisplayRole).toString().size() > 0);
        model.data(index, Qt::DecorationRole);
        model.data(index, Qt::SizeHintRole);
        if (model.parent(index) != parent) std::abort();
        rows += walk(model, index);
    }
    return rows;
}

void fill(QStandardItem* into, const CAD_RPC::Tree& tree, const CAD_RPC::Node& node, const QIcon* icons[])
{
    for (int32_t child : node.children_ids) {
        const CAD_RPC::Node& c = tree.nodes.at(child);
        auto* item = new QStandardItem(QString::fromStdString(c.name));
        if (const QIcon* icon = icons[c.type]) item->setIcon(*icon);
        into->appendRow(item);
        fill(item, tree, c, icons);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    load_node_icons();
    const int nodes = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    CAD_RPC::Tree tree = bench::machine_tree(nodes);
    const QIcon* icons[5] = {node_type_icon(0), node_type_icon(1), node_type_icon(2), node_type_icon(3), node_type_icon(4)};

    std::vector<double> ours, standard;
    for (int r = 0; r < reps; ++r) {
        auto t0 = Clock::now();
        {
            CAD_TreeModel model;
            model.set_tree(&tree);
            NameCorrectionProxyModel proxy;
            proxy.setSourceModel(&model);
            walk(proxy);
        }
        ours.push_back(std::chrono::duration<double>(Clock::now() - t0).count());

        t0 = Clock::now();
        {
            QStandardItemModel model;
            fill(model.invisibleRootItem(), tree, tree.nodes.at(0), icons);
            walk(model);
        }
        standard.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    const std::string what = "8. GUI models (" + std::to_string(tree.nodes.size()) + " nodes)";
    std::printf("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= 0.5x)\n", what.c_str(), median(ours),
                "CAD_TreeModel+proxy", median(standard), "QStandardItemModel", median(ours) / median(standard));
    return 0;
}
