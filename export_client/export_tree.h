#pragma once
// The tree as Tarvik exports it, without widgets or item models, so that a
// headless export writes what Tarvik writes: names corrected into what a ZEL
// file accepts and made unique among siblings, and the tree numbered for
// the add-in.
#include <memory>
#include <string>
#include <vector>

#include <QHash>
#include <QString>

#include "cad_rpc_types.h"

namespace tarvik {

// One name on its own, before siblings are made unique: Latin and Cyrillic
// letters and ASCII digits stay, every other character becomes "_", a
// leading digit gets a "_" before it, an empty name is "_".
QString correct_name(const QString& name);
// The same for a UTF-8 name; ASCII, the usual case, without decoding.
QString correct_name(const std::string& name);

// Siblings' corrected names, in order, made unique: a repeat of A becomes
// A_$1, A_$2... ("$N" after a trailing "_"), counting on past a name that
// is taken already.
class SiblingNames {
public:
    explicit SiblingNames(int expected = 0) { seen_.reserve(expected); }
    QString add(QString corrected);

private:
    // Name -> its counter + 1, so that 0 is an entry just made.
    QHash<QString, int> seen_;
};

// A tree of CAD nodes as it will be exported: the CAD tree itself, or that
// tree reshaped by an EMC configuration (with nodes of its own for CAE items
// and MIPs). The root stands for the model and has no node.
struct ShownItem {
    const CAD_RPC::Node* node = nullptr;
    ShownItem* parent = nullptr;
    std::vector<std::unique_ptr<ShownItem>> children;
    ShownItem* add(const CAD_RPC::Node* child_node);
};

// The CAD tree as it stands: every node under its parent, in order.
std::unique_ptr<ShownItem> shown_cad_tree(const CAD_RPC::Tree& tree);

// Fills `tree` with what the add-in exports: new keys (0 for the root, then
// handed out depth-first), the CAD ids and parent ids, the corrected names,
// visibility (every node visible with `all_as_visible`); a MIP element
// lists the solids it stands for.
void build_export_tree(const ShownItem& root, bool all_as_visible, CAD_RPC::Tree& tree);

}  // namespace tarvik
