#pragma once
#include <functional>
#include <vector>

#include <QAbstractItemModel>
#include <QMetaType>

#include "CAD_RPC_Service.h"

class QDialog;

// An EMC configuration: CAE items at the top, the CAD objects each applies
// to below them.
class EMC_TreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        M_NameRole = Qt::UserRole + 6,
        NodeIdRole = Qt::UserRole + 7,
        IncludeRole = Qt::UserRole + 9,
        GeomRole = Qt::UserRole + 10,
        MethodRole = Qt::UserRole + 11,
        MinSizeRole = Qt::UserRole + 12,
    };

    enum M_obj_Method : int32_t { solid = 0, solidB = 1, point = 2 };
    Q_ENUM(M_obj_Method)

    struct M_obj;

    struct TreeItem {
        explicit TreeItem(int32_t k) : kind(k) {}
        virtual ~TreeItem() = default;
        virtual TreeItem* parent() const = 0;
        QString name;
        int32_t kind;  // 0 CAE item, 1 CAD object
    };

    struct CAD_obj : TreeItem {
        explicit CAD_obj(M_obj* owner) : TreeItem(1), owner(owner) {}
        TreeItem* parent() const override;
        int32_t cad_type = 3;  // 0 structure, 1 solid, 2 other (a point), 3 not in the CAD model
        int32_t node_id = -1;
        QString persistent_id;
        bool include = true;
        bool geom = false;
        M_obj* owner;
    };

    struct M_obj : TreeItem {
        M_obj() : TreeItem(0) {}
        ~M_obj() override;
        TreeItem* parent() const override { return nullptr; }
        M_obj_Method method = solid;
        QString comments;
        double min_size = 0;  // millimetres; meaningful for solidB only
        std::vector<CAD_obj*> children;
    };

    explicit EMC_TreeModel(QObject* parent = nullptr);
    ~EMC_TreeModel() override;

    void set_tree(CAD_RPC::Tree* t) { tree = t; }
    void set_client(CAD_RPC::CAD_RPC_ServiceClient* c) { client = c; }

    // How the item dialogs are shown: modal by default; tests answer them.
    using DialogRunner = std::function<bool(QDialog& dialog)>;
    void set_dialog_runner(DialogRunner runner) { run_dialog = std::move(runner); }

    bool is_modified() const { return modified; }
    void remove_item(const QModelIndex& index);
    bool load(const QString& path);
    bool save(const QString& path);
    const std::vector<M_obj*>& get_items() const { return items; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

public slots:
    void add_M_obj();
    void clear();
    void edit_item(const QModelIndex& index);

signals:
    void model_data_changed();
    void model_data_saved();

private:
    void changed();
    static TreeItem* item_of(const QModelIndex& index);
    // The CAE item a drop at `parent` goes to; null where drops are refused.
    M_obj* drop_target(const QModelIndex& parent) const;
    // The nodes of this window's tree that a payload names; empty for a
    // payload that is not one of ours.
    std::vector<const CAD_RPC::Node*> dropped_nodes(const QMimeData* data) const;

    CAD_RPC::Tree* tree = nullptr;
    CAD_RPC::CAD_RPC_ServiceClient* client = nullptr;
    std::vector<M_obj*> items;
    bool modified = false;
    DialogRunner run_dialog;
};


